// The command-line front end's run over the application model.
#pragma once

#include "CliArguments.h"
#include "ProgressDisplay.h"
#include "TerminationSignals.h"

#include "model/AppModel.h"
#include "sync/SyncChecker.h"

#include <memory>

// One run of the command-line front end over the application model: the analysis, for `mux`
// for `plan` the plans of the ready pairs, for `mux` the batch run after it, progress on standard error, and the report on standard output.
// SIGINT, SIGTERM, SIGHUP and SIGQUIT stop the running tools; the results so far are still
// reported, and the exit status is 128 plus the signal's number, as a shell reports a program
// that the signal ended.
class CliRun final : public QObject {
    Q_OBJECT

public:
    // Folders are absolute file URLs, checked by the caller; `output` only for `mux`.
    CliRun(CliArguments arguments, const QUrl &primary, const QUrl &localized,
           const std::optional<QUrl> &output);
    ~CliRun() override;

    // Returns at once; `finished` carries the exit status.
    void start();

signals:
    void finished(int exitStatus);

private:
    void onAnalysisFinished();
    void onMuxFinished();
    void planReadyPairs();
    void onTerminationSignal(int signalNumber);
    void showAnalysisProgress();
    void showMuxProgress();
    void end(const QList<EpisodePair> &pairs, const QList<AnalysisIssue> &issues,
             const AppModel::SyncChecks &syncChecks);
    void end(const QList<EpisodePair> &pairs, const QList<AnalysisIssue> &issues,
             const AppModel::SyncChecks &syncChecks,
             const QHash<QString, PairPlanOutcome> *plans);

    CliArguments m_arguments;
    std::unique_ptr<AppModel> m_model;
    ProgressDisplay m_progress;
    TerminationSignals m_signals;
    int m_stopSignal = 0;           // the first stop signal received, if any
    bool m_analysisComplete = true; // false when a signal stopped the analysis
    bool m_filesChecked = false;    // the stopped analysis had checked every file
    std::shared_ptr<StopFlag> m_planStop = std::make_shared<StopFlag>(false);
};
