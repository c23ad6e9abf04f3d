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

// Of a checked pair's progress, what its mux counts for; the check of the output, twenty
// short decodes, takes the rest.
constexpr double muxShareOfCheckedPair = 0.8;

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

MuxRequest muxRequestOf(const EpisodePair &pair, const MuxRunSources &sources)
{
    const auto inspectionOf = [&](const std::optional<MediaFile> &file) {
        const auto found = file ? sources.inspections.constFind(file->url) : sources.inspections.cend();
        return found != sources.inspections.cend() ? std::optional(*found) : std::nullopt;
    };
    const auto check = sources.syncChecks.constFind(pair.id);
    return {pair,
            inspectionOf(pair.primary),
            inspectionOf(pair.localized),
            sources.outputFolder,
            check != sources.syncChecks.cend() ? check->verdict.correction : std::nullopt,
            sources.fingerprints,
            sources.restorePitch,
            sources.repairCuts,
            check != sources.syncChecks.cend() && check->pitch.kind == PitchKind::corrected};
}

MuxRun::MuxRun(const ToolLocations &tools, MuxRunSources sources, int jobs, QObject *parent)
    : QObject(parent), m_sources(std::move(sources)),
      m_isSequential(std::min<qsizetype>(jobs, m_sources.readyPairs.size()) <= 1), m_tools(tools),
      m_resultChecks(std::size_t(m_sources.readyPairs.size()))
{
    m_checkers.setMaxThreadCount(std::max(jobs, 1));
    m_scheduler = std::make_unique<MuxScheduler>(
        tools, m_sources.readyPairs.size(), jobs,
        [this](qsizetype position, MuxExecutor &executor,
               const MuxExecutor::ProgressCallback &progress) {
            return muxPair(position, executor, progress);
        });
    MuxScheduler *scheduler = m_scheduler.get();
    connect(scheduler, &MuxScheduler::runningChanged, this, &MuxRun::showRunningPairs);
    connect(scheduler, &MuxScheduler::fractionChanged, this, &MuxRun::reportProgress);
    connect(scheduler, &MuxScheduler::pairEnded, this, &MuxRun::finishPair);
    // Queued: the end may destroy the run, which must not happen inside the scheduler's signal.
    connect(scheduler, &MuxScheduler::finished, this, &MuxRun::finish, Qt::QueuedConnection);
}

MuxRun::~MuxRun()
{
    // The muxes end first: a mux that ends hands its output to a checker, which then finds
    // the stop set at once.
    m_stopChecks = true;
    m_scheduler.reset();
    m_checkers.waitForDone();
}

void MuxRun::start()
{
    m_clock.start();
    // Queued, so that a run without pairs still ends after the caller has returned.
    QMetaObject::invokeMethod(m_scheduler.get(), &MuxScheduler::start, Qt::QueuedConnection);
}

void MuxRun::cancel()
{
    m_isCancelRequested = true;
    m_stopChecks = true;
    m_scheduler->cancel();
}

QFuture<MuxResult> MuxRun::muxPair(qsizetype position, MuxExecutor &executor,
                                   const MuxExecutor::ProgressCallback &progress)
{
    const EpisodePair &pair = m_sources.readyPairs.at(position);
    MuxRequest request = muxRequestOf(pair, m_sources);
    const auto check = m_sources.syncChecks.constFind(pair.id);
    if (check == m_sources.syncChecks.cend() || !check->offsetChecked)
        return executor.mux(std::move(request), progress);

    const auto muxProgress = [progress](double fraction) {
        progress(fraction * muxShareOfCheckedPair);
    };
    // The pair keeps its place among the running ones until its output is checked, so no
    // more than `jobs` pairs mux or check at once.
    return executor.mux(std::move(request), muxProgress)
        .then(&m_checkers, [this, position, label = episodeLabel(pair)](MuxResult result) {
            m_resultChecks[std::size_t(position)] =
                checkResult(label, result.outputURL, m_tools, &m_stopChecks);
            return result;
        });
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
        // A check stopped by the cancel has nothing to say; the file itself is complete.
        if (const std::optional<ResultCheck> &check = m_resultChecks[std::size_t(position)]) {
            emit resultChecked(m_sources.readyPairs.at(position).id, *check);
            emit issueFound(check->finding);
        }
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
