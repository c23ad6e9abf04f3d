#include "BenchSupport.h"

#include "model/AppModel.h"

#include "support/TestMedia.h"
#include "tools/ChildProcess.h"

#include <QElapsedTimer>
#include <QEventLoop>

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
