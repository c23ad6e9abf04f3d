// Times one full analysis of two folders of 50 episodes each through AppModel against running
// `mkvmerge -J` on the same 100 files one after another. Every inspection looks for mkvmerge
// again, `file` run included, so the analysis should take about one and a half times as long.

#include "model/AppModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

constexpr int episodesPerFolder = 50;
const QString mkvmerge = QStringLiteral("/usr/bin/mkvmerge");

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Two seconds of tiny video with an English and a German audio track.
bool makeEpisode(const QTemporaryDir &dir, const QString &output)
{
    const auto words = [](const char *text) { return QString::fromLatin1(text).split(u' '); };
    const QString video = dir.filePath(QStringLiteral("video.mkv"));
    const QString audio = dir.filePath(QStringLiteral("audio.ac3"));
    return run(QStringLiteral("/usr/bin/ffmpeg"),
               words("-nostdin -loglevel error -f lavfi -i color=s=64x36:r=25:d=2 -f lavfi -i "
                     "anullsrc=r=48000:cl=mono -map 0:v -c:v mpeg4")
                   << video << words("-map 1:a -t 2 -c:a ac3") << audio) &&
           run(mkvmerge, words("--quiet --output") << output << video << words("--language 0:eng")
                                                   << audio << words("--language 0:ger") << audio);
}

// Copies `episode` into `folder` as S01E01.mkv … S01E50.mkv; returns the copies.
QStringList fillFolder(const QString &episode, const QString &folder)
{
    QStringList files;
    if (!QDir().mkpath(folder))
        return files;
    for (int number = 1; number <= episodesPerFolder; ++number) {
        const QString file =
            folder + QStringLiteral("/S01E%1.mkv").arg(number, 2, 10, QLatin1Char('0'));
        if (!QFile::copy(episode, file))
            return {};
        files << file;
    }
    return files;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString episode = dir.filePath(QStringLiteral("episode.mkv"));
    if (!dir.isValid() || !makeEpisode(dir, episode)) {
        out << "Die Testdatei konnte nicht erzeugt werden.\n";
        return 1;
    }
    const QString primaryFolder = dir.filePath(QStringLiteral("Ordner 1"));
    const QString localizedFolder = dir.filePath(QStringLiteral("Ordner 2"));
    const QStringList files =
        fillFolder(episode, primaryFolder) + fillFolder(episode, localizedFolder);
    if (files.size() != 2 * episodesPerFolder) {
        out << "Die Ordner konnten nicht gefüllt werden.\n";
        return 1;
    }
    run(mkvmerge, {QStringLiteral("-J"), episode}); // warms the caches for both runs

    AppModel model;
    model.setPrimaryFolder(QUrl::fromLocalFile(primaryFolder));
    model.setLocalizedFolder(QUrl::fromLocalFile(localizedFolder));
    QEventLoop loop;
    QObject::connect(&model, &AppModel::analysisFinished, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    model.analyze();
    if (model.isAnalyzing())
        loop.exec();
    const double analysisMs = timer.nsecsElapsed() / 1e6;

    const bool failed =
        std::any_of(model.issues().cbegin(), model.issues().cend(), [](const AnalysisIssue &i) {
            return i.severity == AnalysisIssueSeverity::error;
        });
    if (model.pairs().size() != episodesPerFolder || model.inspections().size() != files.size() ||
        failed) {
        out << "Die Analyse lieferte nicht das erwartete Ergebnis.\n";
        return 1;
    }

    timer.restart();
    for (const QString &file : files) {
        if (!run(mkvmerge, {QStringLiteral("-J"), file})) {
            out << "mkvmerge -J schlug fehl.\n";
            return 1;
        }
    }
    const double plainMs = timer.nsecsElapsed() / 1e6;

    const auto count = files.size();
    out << QStringLiteral("AppModel::analyze, %1 files: %2 ms total, %3 ms per file\n")
               .arg(count)
               .arg(analysisMs, 0, 'f', 1)
               .arg(analysisMs / count, 0, 'f', 2);
    out << QStringLiteral("mkvmerge -J, %1 files:       %2 ms total, %3 ms per file\n")
               .arg(count)
               .arg(plainMs, 0, 'f', 1)
               .arg(plainMs / count, 0, 'f', 2);
    out << QStringLiteral("ratio analysis / mkvmerge -J: %1\n")
               .arg(analysisMs / plainMs, 0, 'f', 2);
    return 0;
}
