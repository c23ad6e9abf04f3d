// The benchmarks' shared pieces: the mkvmerge baseline, generated episodes and seasons, timing.
#include "BenchSupport.h"

#include "inspect/MKVInspector.h"
#include "model/AppModel.h"
#include "mux/MuxPlan.h"
#include "support/TestMedia.h"
#include "tools/ChildProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>

std::optional<double> identifyMilliseconds(const QStringList &files)
{
    QElapsedTimer timer;
    timer.start();
    for (const QString &file : files) {
        if (!runChild({QStringLiteral("/usr/bin/mkvmerge"), {QStringLiteral("-J"), file}})
                 .succeeded())
            return std::nullopt;
    }
    return timer.nsecsElapsed() / 1e6;
}

QString makeEpisode(const QString &path, double seconds)
{
    TestMediaLayout layout;
    layout.durationSeconds = seconds;
    layout.audio = {TestTrack{.language = QStringLiteral("eng")},
                    TestTrack{.language = QStringLiteral("ger")}};
    return makeTestMatroska(path, layout);
}

double analysisMilliseconds(AppModel &model)
{
    QEventLoop loop;
    QObject::connect(&model, &AppModel::analysisFinished, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    model.analyze();
    if (model.isAnalyzing())
        loop.exec();
    return timer.nsecsElapsed() / 1e6;
}

void printComparison(QTextStream &out, qsizetype items, const QString &measuredName,
                     double measuredMs, const QString &baselineName, double baselineMs)
{
    for (const auto &[name, ms] :
         {std::pair{measuredName, measuredMs}, {baselineName, baselineMs}}) {
        out << QStringLiteral("%1, %2 runs: %3 ms total, %4 ms each\n")
                   .arg(name)
                   .arg(items)
                   .arg(ms, 0, 'f', 1)
                   .arg(ms / items, 0, 'f', 2);
    }
    out << QStringLiteral("ratio %1 / %2: %3\n")
               .arg(measuredName, baselineName)
               .arg(measuredMs / baselineMs, 0, 'f', 2);
}

bool runQuietly(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() <= 1;
}

bool makePalPair(const QString &primary, const QString &localized, double seconds,
                 const QString &size)
{
    const QString ffmpeg = QStringLiteral("/usr/bin/ffmpeg");
    const QString common = QStringLiteral("-nostdin -loglevel error -y -f lavfi -i "
                                          "testsrc2=size=%1:rate=%2 -f lavfi -i "
                                          "sine=frequency=440:sample_rate=48000 -t %3 -c:v mpeg4 "
                                          "-q:v 2 -c:a ac3 -b:a 192k -metadata:s:a:0 language=%4");
    return runQuietly(ffmpeg, common.arg(size, QStringLiteral("24000/1001"))
                                      .arg(seconds)
                                      .arg(QStringLiteral("eng"))
                                      .split(u' ')
                                  << primary) &&
           runQuietly(ffmpeg, common.arg(QStringLiteral("720x576"), QStringLiteral("25"))
                                      .arg(seconds * 960 / 1001)
                                      .arg(QStringLiteral("ger"))
                                      .split(u' ')
                                  << localized);
}

Episode episodeOf(const QString &primary, const QString &localized)
{
    MKVInspector inspector;
    Episode episode;
    episode.pair.id = QStringLiteral("S01E01");
    episode.pair.episodeID = EpisodeID{1, 1};
    episode.pair.primary = MediaFile{QUrl::fromLocalFile(primary), SourceKind::primary};
    episode.pair.localized = MediaFile{QUrl::fromLocalFile(localized), SourceKind::localized};
    episode.pair.status = PairStatus::ready;
    episode.primary = inspector.inspect(episode.pair.primary->url);
    episode.localized = inspector.inspect(episode.pair.localized->url);
    return episode;
}

bool AloneCommand::run() const
{
    return runQuietly(mkvmerge, {options->argument()}) && QFile::remove(temporary);
}

AloneCommand aloneCommand(const Episode &episode, const QString &output)
{
    const MuxPlan plan = buildMuxPlan(
        {episode.pair, episode.primary, episode.localized, QUrl::fromLocalFile(output)},
        ToolDiscovery());
    AloneCommand command{plan.mkvmergeURL.toLocalFile()};
    command.options->write(plan.arguments);
    command.temporary = plan.temporaryURL.toLocalFile();
    return command;
}

void emptyFolder(const QString &folder)
{
    QDir dir(folder);
    dir.removeRecursively();
    QDir().mkpath(folder);
}

QList<Episode> linkSeason(const QString &primary, const QString &localized,
                          const QString &primaryFolder, const QString &localizedFolder, int pairs,
                          QStringList &files)
{
    QList<Episode> episodes;
    for (int number = 1; number <= pairs; ++number) {
        const QString name = QStringLiteral("S01E%1.mkv").arg(number, 2, 10, QLatin1Char('0'));
        files << primaryFolder + u'/' + name << localizedFolder + u'/' + name;
        QFile::link(primary, files.at(files.size() - 2));
        QFile::link(localized, files.last());
        episodes << episodeOf(files.at(files.size() - 2), files.last());
        episodes.last().pair.episodeID = EpisodeID{1, number};
    }
    return episodes;
}
