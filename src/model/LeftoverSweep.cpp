// Sweeping a folder's leftovers of dead runs off the main thread.
#include "LeftoverSweep.h"

#include "tools/SerialWorker.h"
#include "tools/TemporaryNames.h"

#include <QFutureWatcher>
#include <QThreadPool>

void sweepLeftovers(QObject *context, const QString &folder, const QString &where,
                    std::function<void(AnalysisIssue)> report)
{
    if (folder.isEmpty())
        return;
    // The watcher goes with the context, so a context gone first is never called. (A
    // continuation with a context object asserts under Qt 6.4 when the context goes first.)
    auto *watcher = new QFutureWatcher<std::optional<QString>>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context,
                     [watcher, report = std::move(report)] {
                         if (const std::optional<QString> note = watcher->result())
                             report(AnalysisIssue(AnalysisIssueSeverity::information, *note));
                         watcher->deleteLater();
                     });
    watcher->setFuture(runOnWorker<std::optional<QString>>(
        *QThreadPool::globalInstance(),
        [folder, where] { return leftoverNote(removeLeftovers(folder), where); }));
}
