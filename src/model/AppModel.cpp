#include "AppModel.h"

#include "analysis/PairRules.h"
#include "FolderConflicts.h"
#include "inspect/MKVInspector.h"
#include "tools/UserFacingError.h"
#include "media/FolderScan.h"
#include "media/Naming.h"
#include "media/Pairing.h"
#include "mux/MuxError.h"
#include "mux/MuxExecutor.h"
#include "RemainingTime.h"
#include "MuxMessages.h"
#include "mux/MuxScheduler.h"
#include "subtitles/SidecarCheck.h"
#include "subtitles/SidecarScreening.h"
#include "sync/SyncChecker.h"

#include <QElapsedTimer>
#include <QFuture>

// The state of one analysis run: the files still to inspect and the inspector that does it,
// then the pairs still to check for their audio offset.
struct AppModel::AnalysisRun {
    explicit AnalysisRun(const ToolLocations &tools) : inspector(tools), syncChecker(tools) {}

    QList<QUrl> files;
    qsizetype next = 0;
    QList<QUrl> sidecars;
    qsizetype nextSidecar = 0;
    QSet<QUrl> unreadableSidecars;
    MKVInspector inspector;
    QList<EpisodePair> pairsToCheck;
    qsizetype nextCheck = 0;
    SyncChecker syncChecker;
};

AppModel::AppModel(ToolLocations tools, QObject *parent)
    : QObject(parent), m_tools(tools), m_syncChecks(std::make_unique<SyncChecks>())
{
}

AppModel::~AppModel() = default;

void AppModel::setPrimaryFolder(const std::optional<QUrl> &folder)
{
    assign(m_primaryFolder, folder, &AppModel::primaryFolderChanged);
}

void AppModel::setLocalizedFolder(const std::optional<QUrl> &folder)
{
    assign(m_localizedFolder, folder, &AppModel::localizedFolderChanged);
}

void AppModel::setOutputFolder(const std::optional<QUrl> &folder)
{
    assign(m_outputFolder, folder, &AppModel::outputFolderChanged);
}

void AppModel::setSyncCheckEnabled(bool enabled)
{
    assign(m_isSyncCheckEnabled, enabled, &AppModel::isSyncCheckEnabledChanged);
}

void AppModel::setPitchRestoreEnabled(bool enabled)
{
    assign(m_isPitchRestoreEnabled, enabled, &AppModel::isPitchRestoreEnabledChanged);
}

const AppModel::SyncChecks &AppModel::syncChecks() const
{
    return *m_syncChecks;
}

void AppModel::analyze()
{
    // A second run on top of a running one would interleave two inspectors' results.
    if (!m_primaryFolder || !m_localizedFolder || m_isAnalyzing)
        return;

    assign(m_isAnalyzing, true, &AppModel::isAnalyzingChanged);
    assign(m_inspections, Inspections(), &AppModel::inspectionsChanged);
    assign(m_issues, QList<AnalysisIssue>(), &AppModel::issuesChanged);
    m_syncChecks->clear();

    if (const auto conflict = sameSourceFolders(*m_primaryFolder, *m_localizedFolder)) {
        appendIssue(AnalysisIssue(AnalysisIssueSeverity::error, *conflict));
        assign(m_pairs, QList<EpisodePair>(), &AppModel::pairsChanged);
        endAnalysis();
        return;
    }

    reportUndecodableNames(*m_primaryFolder, QStringLiteral("Ordner 1"));
    reportUndecodableNames(*m_localizedFolder, QStringLiteral("Ordner 2"));
    const QList<MediaFile> primaryFiles = scanFolder(*m_primaryFolder, SourceKind::primary);
    const QList<MediaFile> localizedFiles = scanFolder(*m_localizedFolder, SourceKind::localized);
    assign(m_pairs, pairEpisodes(primaryFiles, localizedFiles), &AppModel::pairsChanged);
    // Taken before the inspections: a file changed from here on is not the file analysed.
    m_fingerprints.clear();
    recordFingerprints(m_pairs, m_fingerprints);

    m_analysis = std::make_unique<AnalysisRun>(m_tools);
    for (const EpisodePair &pair : std::as_const(m_pairs)) {
        if (pair.primary)
            m_analysis->files << pair.primary->url;
        if (pair.localized)
            m_analysis->files << pair.localized->url;
    }
    m_analysis->sidecars = sidecarsOf(m_pairs);
    inspectNextFile();
}

void AppModel::inspectNextFile()
{
    if (m_analysis->next == m_analysis->files.size()) {
        checkNextSidecar();
        return;
    }
    const QUrl file = m_analysis->files.at(m_analysis->next++);
    // The worker inspects; the result comes back to the main thread through `this`.
    m_analysis->inspector.inspectAsync(file).then(
        this, [this, file](QFuture<MediaInspection> done) {
            try {
                m_inspections.insert(file, done.result());
                emit inspectionsChanged();
            } catch (...) {
                appendIssue(AnalysisIssue(AnalysisIssueSeverity::error,
                                          fileNameOf(file) + QStringLiteral(": ") +
                                              describeError(std::current_exception())));
            }
            // Queued: a result that was ready before `then` ran arrives synchronously, and a
            // long run of such files must not nest one call in the next.
            QMetaObject::invokeMethod(this, &AppModel::inspectNextFile, Qt::QueuedConnection);
        });
}

void AppModel::checkNextSidecar()
{
    if (m_analysis->nextSidecar == m_analysis->sidecars.size()) {
        assign(m_pairs, withoutSidecars(m_pairs, m_analysis->unreadableSidecars),
               &AppModel::pairsChanged);
        finishAnalysis();
        return;
    }
    const QUrl sidecar = m_analysis->sidecars.at(m_analysis->nextSidecar++);
    checkSidecarAsync(m_analysis->inspector, sidecar).then(
        this, [this, sidecar](QFuture<SidecarVerdict> done) {
            if (done.result() == SidecarVerdict::unreadable) {
                m_analysis->unreadableSidecars.insert(sidecar);
                appendIssue(unreadableSidecarIssue(sidecar));
            }
            QMetaObject::invokeMethod(this, &AppModel::checkNextSidecar, Qt::QueuedConnection);
        });
}

void AppModel::finishAnalysis()
{
    evaluatePairs();
    if (m_isSyncCheckEnabled) {
        for (const EpisodePair &pair : std::as_const(m_pairs)) {
            if (pair.status == PairStatus::ready && m_inspections.contains(pair.primary->url) &&
                m_inspections.contains(pair.localized->url))
                m_analysis->pairsToCheck << pair;
        }
    }
    checkNextPairSync();
}

void AppModel::checkNextPairSync()
{
    if (m_analysis->nextCheck == m_analysis->pairsToCheck.size()) {
        endAnalysis();
        return;
    }
    const EpisodePair pair = m_analysis->pairsToCheck.at(m_analysis->nextCheck++);
    m_analysis->syncChecker
        .check(m_inspections.value(pair.primary->url), m_inspections.value(pair.localized->url))
        .then(this, [this, pair](QFuture<SyncMeasurement> done) {
            const QString label = episodeLabel(pair);
            try {
                const SyncMeasurement measurement = done.result();
                const PairSyncCheck check{measurement, judgeSync(label, measurement)};
                m_syncChecks->insert(pair.id, check);
                if (check.verdict.finding)
                    appendIssue(*check.verdict.finding);
            } catch (...) {
                // The check is an extra: its failure leaves the pair as the analysis judged it.
                appendIssue(AnalysisIssue(AnalysisIssueSeverity::warning,
                                          label + QStringLiteral(": ") +
                                              describeError(std::current_exception())));
            }
            QMetaObject::invokeMethod(this, &AppModel::checkNextPairSync, Qt::QueuedConnection);
        });
}

void AppModel::endAnalysis()
{
    assign(m_isAnalyzing, false, &AppModel::isAnalyzingChanged);
    m_analysis.reset();
    emit analysisFinished();
}

void AppModel::reportUndecodableNames(const QUrl &folder, const QString &folderName)
{
    // Without a word, the partner of such a file would read as missing.
    for (const QString &name : undecodableFileNames(folder)) {
        appendIssue(AnalysisIssue(
            AnalysisIssueSeverity::warning,
            QStringLiteral("%1: Die Datei in %2 wird übersprungen, weil ihr Name kein gültiges "
                           "UTF-8 ist. Umbenennen hilft.")
                .arg(name, folderName)));
    }
}

void AppModel::evaluatePairs()
{
    for (AnalysisIssue &issue : ::evaluatePairs(m_pairs, m_inspections))
        appendIssue(std::move(issue));
}

void AppModel::appendIssue(AnalysisIssue issue)
{
    m_issues.append(std::move(issue));
    emit issuesChanged();
}

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

// What one mux run keeps for itself: the ready pairs and the output folder as they were at
// its start. A folder chosen during the run is for the next one.
struct AppModel::MuxRun {
    QList<EpisodePair> readyPairs;
    QUrl outputFolder;
    bool restorePitch = false;
    QElapsedTimer clock;
    bool isCancelled = false; // a pair ended with the cancel
    std::unique_ptr<MuxScheduler> scheduler;
};

void AppModel::setMuxJobs(int jobs)
{
    m_muxJobs = std::max(jobs, 1);
}

void AppModel::startMux()
{
    // Two runs would share one progress state.
    if (!m_outputFolder || m_isMuxing)
        return;
    // The folders chosen now and those the pairs were found in, should they differ.
    QList<QUrl> sources = foldersOf(m_pairs);
    for (const std::optional<QUrl> &folder : {m_primaryFolder, m_localizedFolder}) {
        if (folder)
            sources << *folder;
    }
    if (const auto conflict = outputAmongSources(*m_outputFolder, sources)) {
        appendIssue(AnalysisIssue(AnalysisIssueSeverity::error, *conflict));
        return;
    }
    assign(m_isMuxing, true, &AppModel::isMuxingChanged);
    assign(m_isCancelling, false, &AppModel::isCancellingChanged);

    m_mux = std::make_unique<MuxRun>();
    m_mux->outputFolder = *m_outputFolder;
    m_mux->restorePitch = m_isPitchRestoreEnabled;
    for (const EpisodePair &pair : std::as_const(m_pairs)) {
        if (pair.status == PairStatus::ready)
            m_mux->readyPairs << pair;
    }
    m_mux->scheduler = std::make_unique<MuxScheduler>(
        m_tools, m_mux->readyPairs.size(), m_muxJobs,
        [this](qsizetype position, MuxExecutor &executor,
               const MuxExecutor::ProgressCallback &progress) {
            return muxPair(m_mux->readyPairs.at(position), executor, progress);
        });
    MuxScheduler *scheduler = m_mux->scheduler.get();
    connect(scheduler, &MuxScheduler::runningChanged, this, &AppModel::showRunningPairs);
    connect(scheduler, &MuxScheduler::fractionChanged, this,
            [this] { setMuxFraction(m_mux->scheduler->overallFraction()); });
    connect(scheduler, &MuxScheduler::pairEnded, this, &AppModel::finishPair);
    // Queued: the end destroys the scheduler, which must not happen inside its own signal.
    connect(
        scheduler, &MuxScheduler::finished, this,
        [this] {
            const bool complete =
                !m_mux->isCancelled && m_mux->scheduler->startedCount() == m_mux->readyPairs.size();
            finishMux(complete ? QStringLiteral("Abgeschlossen") : QStringLiteral("Abgebrochen"));
        },
        Qt::QueuedConnection);
    m_mux->clock.start();
    // Queued, so that a run without pairs still ends after startMux has returned.
    QMetaObject::invokeMethod(scheduler, &MuxScheduler::start, Qt::QueuedConnection);
}

void AppModel::cancelMux()
{
    if (!m_isMuxing || m_isCancelling)
        return;
    assign(m_isCancelling, true, &AppModel::isCancellingChanged);
    assign(m_muxProgress, QStringLiteral("Wird abgebrochen …"), &AppModel::muxProgressChanged);
    m_mux->scheduler->cancel();
}

void AppModel::showRunningPairs()
{
    QStringList running;
    for (const qsizetype position : m_mux->scheduler->runningPositions())
        running << episodeLabel(m_mux->readyPairs.at(position));
    if (!m_isCancelling && !running.isEmpty())
        assign(m_muxProgress,
               muxStatusText(running, m_mux->scheduler->startedCount(), m_mux->readyPairs.size()),
               &AppModel::muxProgressChanged);
    setMuxFraction(m_mux->scheduler->overallFraction());
}

QFuture<MuxResult> AppModel::muxPair(const EpisodePair &pair, MuxExecutor &executor,
                                     const MuxExecutor::ProgressCallback &progress)
{
    // The inspections and fingerprints are read now: an analysis may have run since the mux
    // run started.
    const auto inspectionOf = [this](const std::optional<MediaFile> &file) {
        const auto found = file ? m_inspections.constFind(file->url) : m_inspections.cend();
        return found != m_inspections.cend() ? std::optional(*found) : std::nullopt;
    };
    // An offset measured by the last analysis is undone.
    const auto check = m_syncChecks->constFind(pair.id);
    const std::optional<double> offset =
        check != m_syncChecks->cend() ? check->verdict.correctionOffsetSeconds : std::nullopt;
    return executor.mux({pair, inspectionOf(pair.primary), inspectionOf(pair.localized),
                         m_mux->outputFolder, offset, m_fingerprints, m_mux->restorePitch},
                        progress);
}

void AppModel::finishPair(qsizetype position, const QFuture<MuxResult> &done)
{
    const QString label = episodeLabel(m_mux->readyPairs.at(position));
    try {
        for (AnalysisIssue &issue : muxResultIssues(label, done.result()))
            appendIssue(std::move(issue));
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        if (isCancellation(error)) {
            m_mux->isCancelled = true;
            appendIssue(
                AnalysisIssue(AnalysisIssueSeverity::information,
                              QStringLiteral("Verarbeitung nach %1 abgebrochen.").arg(label)));
            return;
        }
        // A failed pair never stops the run.
        appendIssue(AnalysisIssue(AnalysisIssueSeverity::error,
                                  label + QStringLiteral(": ") + describeError(error)));
    }
}

void AppModel::finishMux(const QString &finalText)
{
    assign(m_muxProgress, finalText, &AppModel::muxProgressChanged);
    assign(m_muxFraction, std::optional<double>(), &AppModel::muxFractionChanged);
    assign(m_muxETA, std::optional<double>(), &AppModel::muxETAChanged);
    assign(m_isMuxing, false, &AppModel::isMuxingChanged);
    assign(m_isCancelling, false, &AppModel::isCancellingChanged);
    m_mux.reset();
    emit muxFinished();
}

void AppModel::setMuxFraction(double fraction)
{
    assign(m_muxFraction, std::optional(fraction), &AppModel::muxFractionChanged);
    updateMuxETA();
}

void AppModel::updateMuxETA()
{
    const std::optional<double> eta =
        m_muxFraction ? linearRemainingSeconds(*m_muxFraction, m_mux->clock.nsecsElapsed() / 1e9)
                      : std::nullopt;
    assign(m_muxETA, eta, &AppModel::muxETAChanged);
}
