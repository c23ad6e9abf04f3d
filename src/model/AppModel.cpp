// The application model's properties, its folder checks, and the glue to the two runs.
#include "AppModel.h"

#include "FolderConflicts.h"
#include "LeftoverSweep.h"
#include "MuxRun.h"
#include "sync/ResultCheck.h"
#include "sync/SyncChecker.h"
#include "tools/TemporaryFolder.h"

AppModel::AppModel(ToolLocations tools, QObject *parent)
    : QObject(parent), m_tools(tools), m_syncChecks(std::make_unique<SyncChecks>()),
      m_resultChecks(std::make_unique<ResultChecks>()),
      m_planStop(std::make_shared<StopFlag>(false))
{
}

AppModel::~AppModel()
{
    m_planStop->store(true); // a plan still being built has no one to read it
}

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
    if (!enabled)
        assign(m_isCutRepairEnabled, false, &AppModel::isCutRepairEnabledChanged);
}

void AppModel::setCutRepairEnabled(bool enabled)
{
    assign(m_isCutRepairEnabled, enabled, &AppModel::isCutRepairEnabledChanged);
    if (enabled)
        assign(m_isSyncCheckEnabled, true, &AppModel::isSyncCheckEnabledChanged);
}

void AppModel::setPitchRestoreEnabled(bool enabled)
{
    assign(m_isPitchRestoreEnabled, enabled, &AppModel::isPitchRestoreEnabledChanged);
}

const AppModel::SyncChecks &AppModel::syncChecks() const
{
    return *m_syncChecks;
}

const AppModel::ResultChecks &AppModel::resultChecks() const
{
    return *m_resultChecks;
}

AnalysisProgress AppModel::analysisProgress() const
{
    return m_analysis ? m_analysis->progress() : AnalysisProgress();
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
    sweepLeftovers(this, temporaryFolder().path, QStringLiteral("Im temporären Ordner"),
                   [this](AnalysisIssue note) { appendIssue(std::move(note)); });

    if (const auto conflict = sameSourceFolders(*m_primaryFolder, *m_localizedFolder)) {
        appendIssue(AnalysisIssue(AnalysisIssueSeverity::error, *conflict));
        assign(m_pairs, QList<EpisodePair>(), &AppModel::pairsChanged);
        endAnalysis();
        return;
    }

    m_analysis = std::make_unique<AnalysisRun>(m_tools, m_isSyncCheckEnabled, m_muxJobs,
                                               m_isPitchRestoreEnabled);
    AnalysisRun *run = m_analysis.get();
    connect(run, &AnalysisRun::pairsFound, this, [this](const QList<EpisodePair> &pairs) {
        m_fingerprints = m_analysis->fingerprints();
        assign(m_pairs, pairs, &AppModel::pairsChanged);
    });
    connect(run, &AnalysisRun::inspected, this,
            [this](const QUrl &file, const MediaInspection &inspection) {
                m_inspections.insert(file, inspection);
                emit inspectionsChanged();
            });
    connect(run, &AnalysisRun::issueFound, this, &AppModel::appendIssue);
    connect(run, &AnalysisRun::syncChecked, this,
            [this](const QString &pairId, const PairSyncCheck &check) {
                m_syncChecks->insert(pairId, check);
            });
    connect(run, &AnalysisRun::progressChanged, this, &AppModel::analysisProgressChanged);
    // Queued: the end destroys the run, which must not happen inside its own signal.
    connect(run, &AnalysisRun::finished, this, &AppModel::endAnalysis, Qt::QueuedConnection);
    run->start(*m_primaryFolder, *m_localizedFolder);
}

void AppModel::endAnalysis()
{
    assign(m_isAnalyzing, false, &AppModel::isAnalyzingChanged);
    m_analysis.reset();
    emit analysisFinished();
}

void AppModel::appendIssue(AnalysisIssue issue)
{
    m_issues.append(std::move(issue));
    emit issuesChanged();
}

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
    QList<QUrl> folders = foldersOf(m_pairs);
    for (const std::optional<QUrl> &folder : {m_primaryFolder, m_localizedFolder}) {
        if (folder)
            folders << *folder;
    }
    if (const auto conflict = outputAmongSources(*m_outputFolder, folders)) {
        appendIssue(AnalysisIssue(AnalysisIssueSeverity::error, *conflict));
        return;
    }
    assign(m_isMuxing, true, &AppModel::isMuxingChanged);
    assign(m_isCancelling, false, &AppModel::isCancellingChanged);
    sweepLeftovers(this, m_outputFolder->toLocalFile(), QStringLiteral("Im Ausgabeordner"),
                   [this](AnalysisIssue note) { appendIssue(std::move(note)); });

    m_resultChecks->clear();
    m_mux = std::make_unique<MuxRun>(m_tools, *muxSources(), m_muxJobs);
    MuxRun *run = m_mux.get();
    connect(run, &MuxRun::statusChanged, this, [this](const QString &text) {
        if (!m_isCancelling)
            assign(m_muxProgress, text, &AppModel::muxProgressChanged);
    });
    connect(run, &MuxRun::progressChanged, this,
            [this](double fraction, std::optional<double> remaining) {
                assign(m_muxFraction, std::optional(fraction), &AppModel::muxFractionChanged);
                assign(m_muxETA, remaining, &AppModel::muxETAChanged);
            });
    connect(run, &MuxRun::issueFound, this, &AppModel::appendIssue);
    connect(run, &MuxRun::resultChecked, this,
            [this](const QString &pairId, const ResultCheck &check) {
                m_resultChecks->insert(pairId, check);
            });
    // Queued: the end destroys the run, which must not happen inside its own signal.
    connect(run, &MuxRun::finished, this, &AppModel::finishMux, Qt::QueuedConnection);
    run->start();
}

void AppModel::cancelMux()
{
    if (!m_isMuxing || m_isCancelling)
        return;
    assign(m_isCancelling, true, &AppModel::isCancellingChanged);
    assign(m_muxProgress, QStringLiteral("Wird abgebrochen …"), &AppModel::muxProgressChanged);
    m_mux->cancel();
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
