// One mux run: its own copy of what it muxes, the scheduler of its pairs, progress, ETA and cancel.
#pragma once

#include "media/AnalysisIssue.h"
#include "media/EpisodePair.h"
#include "media/FileFingerprint.h"
#include "media/MediaInspection.h"
#include "sync/ResultCheck.h"
#include "sync/SyncChecker.h"
#include "mux/MuxRequest.h"
#include "tools/ToolLocations.h"

#include <QElapsedTimer>
#include <QFuture>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class MuxExecutor;
class MuxScheduler;
struct MuxResult;

// What a run muxes, copied when it starts: an analysis started during the run replaces the
// model's results, never these.
struct MuxRunSources {
    QList<EpisodePair> readyPairs; // in table order
    QHash<QUrl, MediaInspection> inspections;
    SourceFingerprints fingerprints;
    QHash<QString, PairSyncCheck> syncChecks; // by pair id: what the analysis measured
    QUrl outputFolder;
    bool restorePitch = false;
    bool repairCuts = false;
};

// What a run muxes for `pair`: the request its mux, and a plan shown beforehand, are built from.
MuxRequest muxRequestOf(const EpisodePair &pair, const MuxRunSources &sources);

// Muxes the ready pairs `jobs` at a time and turns every outcome into issues, in table order.
// A pair the analysis checked for its audio offset has its output checked the same way once
// muxed, in the pair's turn and as the last part of its progress. Lives on the main thread.
class MuxRun final : public QObject {
    Q_OBJECT

public:
    MuxRun(const ToolLocations &tools, MuxRunSources sources, int jobs, QObject *parent = nullptr);
    ~MuxRun() override; // stops the running pairs and waits for their clean-up

    void start();  // returns at once; `finished` follows, even without pairs
    void cancel(); // terminates every running pair; no further pair starts

signals:
    // The running pairs as the status shows them ("S01E05, S01E06 (6 von 12)").
    void statusChanged(const QString &text);
    // The fraction of the whole run and the estimated seconds it still needs.
    void progressChanged(double fraction, std::optional<double> remainingSeconds);
    void issueFound(const AnalysisIssue &issue);
    // The check of a pair's output, right before its finding.
    void resultChecked(const QString &pairId, const ResultCheck &check);
    void finished(const QString &finalText); // "Abgeschlossen" or "Abgebrochen"

private:
    QFuture<MuxResult> muxPair(qsizetype position, MuxExecutor &executor,
                               const std::function<void(double)> &progress);
    void showRunningPairs();
    void reportProgress();
    void finishPair(qsizetype position, const QFuture<MuxResult> &done);
    void finish();

    MuxRunSources m_sources;
    bool m_isSequential; // one pair at a time
    QElapsedTimer m_clock;
    bool m_isCancelRequested = false;
    QSet<qsizetype> m_cancelledPositions; // pairs that ended with the cancel
    ToolLocations m_tools;
    StopFlag m_stopChecks{false};
    // Written by the checker of a pair before its outcome arrives, read once it has.
    std::vector<std::optional<ResultCheck>> m_resultChecks;
    QThreadPool m_checkers; // as many as pairs run at once
    std::unique_ptr<MuxScheduler> m_scheduler;
};
