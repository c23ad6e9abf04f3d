// The mux run over the scheduler, and the messages of its pairs and of its cancel.
#include "MuxRun.h"

#include "media/Naming.h"
#include "mux/MuxError.h"
#include "mux/MuxExecutor.h"
#include "mux/MuxScheduler.h"
#include "RemainingTime.h"
#include "MuxMessages.h"
#include "tools/UserFacingError.h"

namespace {

bool isCancellation(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const MuxError &muxError) {
        return muxError.kind() == MuxError::Kind::cancelled;
    } catch (...) {
        return false;
    }
}

} // namespace

MuxRun::MuxRun(const ToolLocations &tools, MuxRunSources sources, int jobs, QObject *parent)
    : QObject(parent), m_sources(std::move(sources)),
      m_isSequential(std::min<qsizetype>(jobs, m_sources.readyPairs.size()) <= 1)
{
    m_scheduler = std::make_unique<MuxScheduler>(
        tools, m_sources.readyPairs.size(), jobs,
        [this](qsizetype position, MuxExecutor &executor,
               const MuxExecutor::ProgressCallback &progress) {
            return muxPair(m_sources.readyPairs.at(position), executor, progress);
        });
    MuxScheduler *scheduler = m_scheduler.get();
    connect(scheduler, &MuxScheduler::runningChanged, this, &MuxRun::showRunningPairs);
    connect(scheduler, &MuxScheduler::fractionChanged, this, &MuxRun::reportProgress);
    connect(scheduler, &MuxScheduler::pairEnded, this, &MuxRun::finishPair);
    // Queued: the end may destroy the run, which must not happen inside the scheduler's signal.
    connect(scheduler, &MuxScheduler::finished, this, &MuxRun::finish, Qt::QueuedConnection);
}

MuxRun::~MuxRun() = default;

void MuxRun::start()
{
    m_clock.start();
    // Queued, so that a run without pairs still ends after the caller has returned.
    QMetaObject::invokeMethod(m_scheduler.get(), &MuxScheduler::start, Qt::QueuedConnection);
}

void MuxRun::cancel()
{
    m_isCancelRequested = true;
    m_scheduler->cancel();
}

QFuture<MuxResult> MuxRun::muxPair(const EpisodePair &pair, MuxExecutor &executor,
                                   const MuxExecutor::ProgressCallback &progress)
{
    const auto inspectionOf = [this](const std::optional<MediaFile> &file) {
        const auto found =
            file ? m_sources.inspections.constFind(file->url) : m_sources.inspections.cend();
        return found != m_sources.inspections.cend() ? std::optional(*found) : std::nullopt;
    };
    const auto check = m_sources.syncChecks.constFind(pair.id);
    return executor.mux({pair, inspectionOf(pair.primary), inspectionOf(pair.localized),
                         m_sources.outputFolder,
                         check != m_sources.syncChecks.cend() ? check->verdict.correction
                                                              : std::nullopt,
                         m_sources.fingerprints, m_sources.restorePitch, m_sources.repairCuts},
                        progress);
}

void MuxRun::showRunningPairs()
{
    QStringList running;
    for (const qsizetype position : m_scheduler->runningPositions())
        running << episodeLabel(m_sources.readyPairs.at(position));
    if (!running.isEmpty())
        emit statusChanged(
            muxStatusText(running, m_scheduler->startedCount(), m_sources.readyPairs.size()));
    reportProgress();
}

void MuxRun::reportProgress()
{
    const double fraction = m_scheduler->overallFraction();
    emit progressChanged(fraction, linearRemainingSeconds(fraction, m_clock.nsecsElapsed() / 1e9));
}

void MuxRun::finishPair(qsizetype position, const QFuture<MuxResult> &done)
{
    const QString label = episodeLabel(m_sources.readyPairs.at(position));
    try {
        for (const AnalysisIssue &issue : muxResultIssues(label, done.result()))
            emit issueFound(issue);
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        if (isCancellation(error)) {
            m_cancelledPositions.insert(position);
            // One pair at a time: the pairs after it are plainly not done.
            if (m_isSequential)
                emit issueFound(
                    AnalysisIssue(AnalysisIssueSeverity::information,
                                  QStringLiteral("Verarbeitung nach %1 abgebrochen.").arg(label)));
            return;
        }
        // A failed pair never stops the run.
        emit issueFound(AnalysisIssue(AnalysisIssueSeverity::error,
                                      label + QStringLiteral(": ") + describeError(error)));
    }
}

void MuxRun::finish()
{
    const qsizetype count = m_sources.readyPairs.size();
    const qsizetype started = m_scheduler->startedCount();
    if (!m_isSequential && m_isCancelRequested) {
        // Pairs side by side: name every pair without a file, as one line after the others.
        QStringList unfinished;
        for (qsizetype position = 0; position < count; ++position) {
            if (position >= started || m_cancelledPositions.contains(position))
                unfinished << episodeLabel(m_sources.readyPairs.at(position));
        }
        const bool onlyTheRunningOne = unfinished.size() == 1 && m_cancelledPositions.size() == 1;
        if (onlyTheRunningOne)
            emit issueFound(AnalysisIssue(
                AnalysisIssueSeverity::information,
                QStringLiteral("Verarbeitung nach %1 abgebrochen.").arg(unfinished.first())));
        else if (!unfinished.isEmpty())
            emit issueFound(
                AnalysisIssue(AnalysisIssueSeverity::information,
                              QStringLiteral("Verarbeitung abgebrochen; nicht fertig geworden: %1.")
                                  .arg(unfinished.join(QStringLiteral(", ")))));
    }
    const bool complete = m_cancelledPositions.isEmpty() && started == count;
    emit finished(complete ? QStringLiteral("Abgeschlossen") : QStringLiteral("Abgebrochen"));
}
