// One mux run: its own copy of what it muxes, the scheduler of its pairs, progress, ETA and cancel.
#pragma once

#include "media/AnalysisIssue.h"
#include "media/EpisodePair.h"
#include "media/FileFingerprint.h"
#include "media/MediaInspection.h"
#include "sync/SyncChecker.h"
#include "tools/ToolLocations.h"

#include <QElapsedTimer>
#include <QFuture>
#include <QHash>
#include <QObject>
#include <QSet>

#include <memory>
#include <optional>

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

// Muxes the ready pairs `jobs` at a time and turns every outcome into issues, in table order.
// Lives on the main thread.
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
    void finished(const QString &finalText); // "Abgeschlossen" or "Abgebrochen"

private:
    QFuture<MuxResult> muxPair(const EpisodePair &pair, MuxExecutor &executor,
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
    std::unique_ptr<MuxScheduler> m_scheduler;
};
