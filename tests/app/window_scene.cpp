// Opens the main window on two generated folders of a small series and analyses them, for the
// screenshot in the README (scripts/screenshot.sh). Prints the window id once the analysis has
// finished and keeps the window open until it is ended.
//
//   window_scene FOLDER [--minimum] [--running]
//
// makes FOLDER/Nordlicht (Englisch), (Deutsch) and (Fertig). --minimum shows the window at its
// minimum size; --running shows the action row as a parallel run with the longest texts.

#include "ActionRow.h"
#include "ContentView.h"
#include "SpurenflechterApp.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QTextStream>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The English release, the German one (one episode missing, one too many, one broken, one
// PAL speed-up, one shorter, one untagged track, one subtitle file beside its video) and an
// empty output folder.
QString makeSeries(const QString &base, QString &english, QString &german, QString &output)
{
    english = base + u"/Nordlicht (Englisch)"_s;
    german = base + u"/Nordlicht (Deutsch)"_s;
    output = base + u"/Nordlicht (Fertig)"_s;
    for (const QString &folder : {english, german, output}) {
        if (!QDir().mkpath(folder))
            return u"cannot make "_s + folder;
    }
    const double pal = 960.0 / 1001.0;
    const TestMediaLayout englishEpisode{30, {{u"eng"_s}}}, germanEpisode{30, {{u"ger"_s}}};
    const std::initializer_list<std::pair<QString, TestMediaLayout>> files{
        {english + u"/Nordlicht.S01E01.1080p.BluRay.mkv"_s, {30, {{u"eng"_s}}, {{u"eng"_s}}}},
        {english + u"/Nordlicht.S01E02.1080p.BluRay.mkv"_s, englishEpisode},
        {english + u"/Nordlicht.S01E03.1080p.BluRay.mkv"_s, englishEpisode},
        {english + u"/Nordlicht.S01E04.1080p.BluRay.mkv"_s, englishEpisode},
        {english + u"/Nordlicht.S01E05.1080p.BluRay.mkv"_s, englishEpisode},
        {english + u"/Nordlicht.S01E06.1080p.BluRay.mkv"_s, englishEpisode},
        {german + u"/Nordlicht - S01E01 - Aufbruch.mkv"_s, germanEpisode},
        {german + u"/Nordlicht - S01E02 - Eisgang.mkv"_s, {30 * pal, {{u"ger"_s}}}},
        {german + u"/Nordlicht - S01E03 - Polarnacht.mkv"_s, {30, {{}}}}, // untagged
        {german + u"/Nordlicht - S01E04 - Treibholz.mkv"_s, {22, {{u"ger"_s}, {u"eng"_s}}}},
        {german + u"/Nordlicht - S01E07 - Heimkehr.mkv"_s, germanEpisode},
    };
    for (const auto &[path, layout] : files) {
        if (const QString failure = makeTestMatroska(path, layout); !failure.isEmpty())
            return failure;
    }
    // A download that broke off: not Matroska at all.
    writeTestFile(german + u"/Nordlicht - S01E06 - Sturmflut.mkv"_s, QByteArray(4096, '\0'));
    if (!writeTestSubtitle(german + u"/Nordlicht - S01E01 - Aufbruch.de.srt"_s))
        return u"cannot write the subtitle file"_s;
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    SpurenflechterApp app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();
    const bool minimum = arguments.contains(u"--minimum"_s);
    const bool running = arguments.contains(u"--running"_s);
    if (arguments.size() != 2 + int(minimum) + int(running) || arguments.at(1).startsWith(u'-')) {
        err << "usage: window_scene FOLDER [--minimum] [--running]\n";
        return 2;
    }
    QString english, german, output;
    if (const QString failure = makeSeries(arguments.at(1), english, german, output);
        !failure.isEmpty()) {
        err << failure << '\n';
        return 1;
    }

    AppModel &model = app.model();
    model.setPrimaryFolder(QUrl::fromLocalFile(english));
    model.setLocalizedFolder(QUrl::fromLocalFile(german));
    model.setOutputFolder(QUrl::fromLocalFile(output));
    if (minimum)
        app.window().resize(app.window().minimumSize());
    QObject::connect(&model, &AppModel::analysisFinished, &model, [&] {
        // A run an hour and more from its end, two pairs at once: the longest texts.
        if (running)
            app.window().actionRow()->showState(
                ActionState{.hasSourceFolders = true,
                            .hasOutputFolder = true,
                            .pairCount = model.pairs().size(),
                            .isMuxing = true,
                            .muxProgress = u"S01E05, S01E06 (6 von 12)"_s,
                            .muxFraction = 0.42,
                            .muxETA = 165 * 60.0});
        // A moment for the last repaint before the picture is taken.
        QTimer::singleShot(500, &model,
                           [&] { out << "window " << app.window().winId() << Qt::endl; });
    });
    QTimer::singleShot(0, &model, &AppModel::analyze);
    return app.exec();
}
