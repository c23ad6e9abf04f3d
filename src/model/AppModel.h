// The application model: the state the window and the command line read, over the two runs.
#pragma once

#include "AnalysisRun.h"
#include "MuxRun.h"
#include "PairPlans.h"
#include "media/AnalysisIssue.h"
#include "media/EpisodePair.h"
#include "media/FileFingerprint.h"
#include "media/MediaInspection.h"
#include "tools/ToolLocations.h"

#include <QHash>
#include <QObject>

#include <memory>
#include <optional>

struct PairSyncCheck;
struct ResultCheck;

// The observable state behind the window and the command-line front end: the chosen folders,
// the result of the last analysis and the state of the mux run. Lives on the main thread;
// every property is read and written there. A property notifies only when its value changes.
class AppModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<QUrl> primaryFolder READ primaryFolder WRITE setPrimaryFolder NOTIFY
                   primaryFolderChanged)
    Q_PROPERTY(std::optional<QUrl> localizedFolder READ localizedFolder WRITE setLocalizedFolder
                   NOTIFY localizedFolderChanged)
    Q_PROPERTY(std::optional<QUrl> outputFolder READ outputFolder WRITE setOutputFolder NOTIFY
                   outputFolderChanged)
    Q_PROPERTY(QList<EpisodePair> pairs READ pairs NOTIFY pairsChanged)
    Q_PROPERTY(Inspections inspections READ inspections NOTIFY inspectionsChanged)
    Q_PROPERTY(QList<AnalysisIssue> issues READ issues NOTIFY issuesChanged)
    Q_PROPERTY(bool isAnalyzing READ isAnalyzing NOTIFY isAnalyzingChanged)
    Q_PROPERTY(bool isMuxing READ isMuxing NOTIFY isMuxingChanged)
    Q_PROPERTY(bool isCancelling READ isCancelling NOTIFY isCancellingChanged)
    Q_PROPERTY(QString muxProgress READ muxProgress NOTIFY muxProgressChanged)
    Q_PROPERTY(std::optional<double> muxFraction READ muxFraction NOTIFY muxFractionChanged)
    Q_PROPERTY(std::optional<double> muxETA READ muxETA NOTIFY muxETAChanged)
    Q_PROPERTY(bool isSyncCheckEnabled READ isSyncCheckEnabled WRITE setSyncCheckEnabled NOTIFY
                   isSyncCheckEnabledChanged)
    Q_PROPERTY(bool isPitchRestoreEnabled READ isPitchRestoreEnabled WRITE setPitchRestoreEnabled
                   NOTIFY isPitchRestoreEnabledChanged)
    Q_PROPERTY(bool isCutRepairEnabled READ isCutRepairEnabled WRITE setCutRepairEnabled NOTIFY
                   isCutRepairEnabledChanged)

public:
    using Inspections = QHash<QUrl, MediaInspection>; // keyed by the inspected file's URL
    using SyncChecks = QHash<QString, PairSyncCheck>; // keyed by the pair's id
    using ResultChecks = QHash<QString, ResultCheck>; // keyed by the pair's id

    // `tools` says where the external tools are looked for; tests point it elsewhere.
    explicit AppModel(ToolLocations tools = ToolLocations::platformDefault(),
                      QObject *parent = nullptr);
    ~AppModel() override;

    const ToolLocations &tools() const { return m_tools; }
    std::optional<QUrl> primaryFolder() const { return m_primaryFolder; }
    std::optional<QUrl> localizedFolder() const { return m_localizedFolder; }
    std::optional<QUrl> outputFolder() const { return m_outputFolder; }
    void setPrimaryFolder(const std::optional<QUrl> &folder);
    void setLocalizedFolder(const std::optional<QUrl> &folder);
    void setOutputFolder(const std::optional<QUrl> &folder);

    const QList<EpisodePair> &pairs() const { return m_pairs; }
    const Inspections &inspections() const { return m_inspections; }
    const QList<AnalysisIssue> &issues() const { return m_issues; }
    bool isAnalyzing() const { return m_isAnalyzing; }
    bool isMuxing() const { return m_isMuxing; }
    bool isCancelling() const { return m_isCancelling; }
    QString muxProgress() const { return m_muxProgress; }
    std::optional<double> muxFraction() const { return m_muxFraction; }
    std::optional<double> muxETA() const { return m_muxETA; }

    // Off by default: the analysis then also measures the offset of the German audio of every
    // ready pair, and the mux undoes a constant offset.
    bool isSyncCheckEnabled() const { return m_isSyncCheckEnabled; }
    void setSyncCheckEnabled(bool enabled);
    // Off by default: a mux run started while it is on converts the German audio of every PAL
    // pair to film speed and pitch instead of stretching its timestamps.
    bool isPitchRestoreEnabled() const { return m_isPitchRestoreEnabled; }
    void setPitchRestoreEnabled(bool enabled);
    // Off by default: a mux run started while it is on splices the German audio of every pair
    // whose sync check found cuts. It needs the check: turning it on turns the check on, and
    // turning the check off turns it off.
    bool isCutRepairEnabled() const { return m_isCutRepairEnabled; }
    void setCutRepairEnabled(bool enabled);
    // The results of the last analysis' sync check; empty when it did not run.
    const SyncChecks &syncChecks() const;
    // The checks of the outputs of the last mux run, of the pairs the sync check measured.
    const ResultChecks &resultChecks() const;
    // How far the running analysis has come; empty while none runs.
    AnalysisProgress analysisProgress() const;

    // Scans and pairs both source folders, inspects every file one at a time off the main
    // thread, leaves out the sidecar subtitle files that cannot be muxed and judges the ready
    // pairs. Returns at once; `analysisFinished` follows. Does nothing while a source folder is
    // unset or an analysis is already running; pairs nothing, with an error issue, when both
    // source folders are one.
    void analyze();

    // How many pairs a mux run muxes at once, read when the run starts; at least 1. 1, the
    // default, muxes one pair after another. An analysis started with it measures the audio
    // offsets of as many pairs at once.
    int muxJobs() const { return m_muxJobs; }
    void setMuxJobs(int jobs);

    // Muxes every ready pair of the last analysis into the output folder, `muxJobs` at a time
    // in table order, and adds the results to the issue list in table order. Returns at once;
    // `muxFinished` follows. Does nothing without an output folder or while a mux run is
    // already going on; only adds an error issue when the output folder is a source folder.
    // The run works on a copy of the analysis' results: a new analysis during the run
    // changes what the window shows, not what the run muxes.
    void startMux();
    // What a mux run started now would take: absent without an output folder.
    std::optional<MuxRunSources> muxSources() const;
    // What a mux run started now would write for the ready pair `pairId`, built on a worker
    // thread; an outcome without description or error for a pair that would not be muxed.
    QFuture<PairPlanOutcome> planPair(const QString &pairId) const;
    // Stops the mux run: every running mkvmerge is terminated, no further pair starts.
    void cancelMux();

signals:
    void primaryFolderChanged();
    void localizedFolderChanged();
    void outputFolderChanged();
    void pairsChanged();
    void inspectionsChanged();
    void issuesChanged();
    void isAnalyzingChanged();
    void isMuxingChanged();
    void isCancellingChanged();
    void muxProgressChanged();
    void muxFractionChanged();
    void muxETAChanged();
    void isSyncCheckEnabledChanged();
    void isPitchRestoreEnabledChanged();
    void isCutRepairEnabledChanged();
    void analysisProgressChanged();

    void analysisFinished();
    void muxFinished();

private:
    void endAnalysis();
    void appendIssue(AnalysisIssue issue);
    void finishMux(const QString &finalText);

    std::optional<MuxRunSources> sourcesWithoutPairs() const; // absent without an output folder

    template <typename Value>
    void assign(Value &stored, const Value &value, void (AppModel::*changed)())
    {
        if (stored == value)
            return;
        stored = value;
        emit(this->*changed)();
    }

    ToolLocations m_tools;

    std::optional<QUrl> m_primaryFolder;
    std::optional<QUrl> m_localizedFolder;
    std::optional<QUrl> m_outputFolder;
    QList<EpisodePair> m_pairs;
    Inspections m_inspections;
    SourceFingerprints m_fingerprints; // of every file of `m_pairs`, before its inspection
    QList<AnalysisIssue> m_issues;
    bool m_isAnalyzing = false;
    bool m_isMuxing = false;
    bool m_isCancelling = false;
    QString m_muxProgress;
    std::optional<double> m_muxFraction;
    std::optional<double> m_muxETA;
    bool m_isSyncCheckEnabled = false;
    bool m_isPitchRestoreEnabled = false;
    bool m_isCutRepairEnabled = false;
    std::unique_ptr<SyncChecks> m_syncChecks;
    std::unique_ptr<ResultChecks> m_resultChecks;

    std::unique_ptr<AnalysisRun> m_analysis;
    int m_muxJobs = 1;
    std::unique_ptr<MuxRun> m_mux;
    std::shared_ptr<StopFlag> m_planStop; // set when the model goes
};
