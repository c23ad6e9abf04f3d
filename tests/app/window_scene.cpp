// Opens the main window on two generated folders of a small series and analyses them, for the
// screenshot in the README (scripts/screenshot.sh), with the sync check on and the pair whose
// sync picture shows a cut selected. Prints the window id once the analysis and the pair's plan
// are done and keeps the window open until it is ended.
//
//   window_scene FOLDER [--minimum] [--running]
//
// makes FOLDER/Nordlicht (Englisch), (Deutsch) and (Fertig). --minimum shows the window at its
// minimum size; --running shows the action row as a parallel run with the longest texts.

#include "ActionRow.h"
#include "ContentView.h"
#include "SpurenflechterApp.h"
#include "analysis/PalSpeedup.h"
#include "PairDetail.h"
#include "support/SyncMedia.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QTableView>
#include <QTextStream>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr double syncEpisodeSeconds = 600;

// S01E02 of both releases with audio the sync check can measure: the German one at PAL speed,
// 0.8 s late, and 1.5 s of other material from minute 4 on.
QString makeSyncPair(const QString &english, const QString &german)
{
    const auto soundtrack = [](Language language) {
        return makeSoundtrack(SoundFamily::effects, language, 1, syncEpisodeSeconds + 10);
    };
    const QString seconds = QString::number(syncEpisodeSeconds);
    QString failure = writeRelease(
        english, soundtrack(Language::english), {}, syncEpisodeSeconds,
        (u"-f lavfi -i color=c=black:s=64x36:r=25:d="_s + seconds +
         u" -map 1:v -c:v mpeg4 -map 0:a -c:a flac -metadata:s:a:0 language=eng"_s)
            .split(u' '));
    if (failure.isEmpty())
        failure = writeRelease(german, soundtrack(Language::german),
                               {palTimingFactor, 0.8, 240, 1.5},
                               syncEpisodeSeconds / palTimingFactor,
                               u"-c:a flac -metadata:s:a:0 language=ger"_s.split(u' '));
    return failure;
}

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
    const TestMediaLayout englishEpisode{30, {{u"eng"_s}}}, germanEpisode{30, {{u"ger"_s}}};
    const std::initializer_list<std::pair<QString, TestMediaLayout>> files{
        {english + u"/Nordlicht.S01E01.1080p.BluRay.mkv"_s, {30, {{u"eng"_s}}, {{u"eng"_s}}}},
        {english + u"/Nordlicht.S01E03.1080p.BluRay.mkv"_s, englishEpisode},
        {english + u"/Nordlicht.S01E04.1080p.BluRay.mkv"_s, englishEpisode},
        {english + u"/Nordlicht.S01E05.1080p.BluRay.mkv"_s, englishEpisode},
        {english + u"/Nordlicht.S01E06.1080p.BluRay.mkv"_s, englishEpisode},
        {german + u"/Nordlicht - S01E01 - Aufbruch.mkv"_s, germanEpisode},
        {german + u"/Nordlicht - S01E03 - Polarnacht.mkv"_s, {30, {{}}}}, // untagged
        {german + u"/Nordlicht - S01E04 - Treibholz.mkv"_s, {22, {{u"ger"_s}, {u"eng"_s}}}},
        {german + u"/Nordlicht - S01E07 - Heimkehr.mkv"_s, germanEpisode},
    };
    for (const auto &[path, layout] : files) {
        if (const QString failure = makeTestMatroska(path, layout); !failure.isEmpty())
            return failure;
    }
    if (const QString failure = makeSyncPair(english + u"/Nordlicht.S01E02.1080p.BluRay.mkv"_s,
                                             german + u"/Nordlicht - S01E02 - Eisgang.mkv"_s);
        !failure.isEmpty())
        return failure;
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
    model.setSyncCheckEnabled(true);
    // Tall enough for most of the table above the selected pair's detail.
    app.window().resize(minimum ? app.window().minimumSize()
                                : app.window().size().expandedTo(QSize(1000, 880)));
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
        // The picture is taken once the selected pair's plan is shown, and a moment for the
        // last repaint.
        QObject::connect(app.window().pairDetail(), &PairDetail::planShown, &model, [&] {
            static bool taken = false;
            if (std::exchange(taken, true))
                return;
            QTimer::singleShot(500, &model,
                               [&] { out << "window " << app.window().winId() << Qt::endl; });
        });
        app.window().pairTable()->selectRow(1);
    });
    QTimer::singleShot(0, &model, &AppModel::analyze);
    return app.exec();
}
