// One analysis: scan and pairing, the inspection of every file, the sidecar checks and the sync
// checks.
#pragma once

#include "media/AnalysisIssue.h"
#include "media/EpisodePair.h"
#include "media/FileFingerprint.h"
#include "media/MediaInspection.h"
#include "tools/ToolLocations.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <memory>
#include <utility>
#include <vector>

class MKVInspector;
class SyncChecker;
struct PairSyncCheck;

// How far an analysis has come, counted in steps: one per file inspected, one per sidecar
// checked, one per pair checked for its audio offset.
struct AnalysisProgress {
    qsizetype step = 0;        // the step under way, from 1; 0 before the first
    qsizetype steps = 0;       // the sync checks count once the pairs to check are known
    bool filesChecked = false; // every file and sidecar is done; only sync checks remain

    friend bool operator==(const AnalysisProgress &, const AnalysisProgress &) = default;
};

// Works on the main thread; the inspections run one at a time on the inspector's worker, the
// sync checks `syncJobs` at a time on checkers of their own. Everything it finds goes out
// through its signals in the order found, the sync checks' in table order.
class AnalysisRun final : public QObject {
    Q_OBJECT

public:
    // `checkSync`: every pair's sync check with its findings. `hearPitch`: the check runs on
    // the PAL pairs at least, for how the German track's pitch compares.
    AnalysisRun(const ToolLocations &tools, bool checkSync, int syncJobs = 1, bool hearPitch = false,
                QObject *parent = nullptr);
    ~AnalysisRun() override; // stops a running tool and waits for it

    // Reports file names that are not UTF-8, scans and pairs both folders, then works
    // through the files. Returns at once after `pairsFound`.
    void start(const QUrl &primaryFolder, const QUrl &localizedFolder);

    // Of every file of the pairs, taken before its inspection: a file changed from then on is
    // not the file analysed.
    const SourceFingerprints &fingerprints() const { return m_fingerprints; }
    const AnalysisProgress &progress() const { return m_progress; }

signals:
    // The pairs as scanned, and again once the sidecars that cannot be muxed are left out.
    void pairsFound(const QList<EpisodePair> &pairs);
    void inspected(const QUrl &file, const MediaInspection &inspection);
    void issueFound(const AnalysisIssue &issue);
    void syncChecked(const QString &pairId, const PairSyncCheck &check);
    void progressChanged();
    void finished();

private:
    void reportUndecodableNames(const QUrl &folder, const QString &folderName);
    void inspectNextFile();
    void checkNextSidecar();
    void evaluatePairs();
    void startPairSyncChecks();
    void checkPairSync(qsizetype position, SyncChecker &checker);
    void reportPairSyncChecks();
    void advance();

    bool needsSyncCheck(const EpisodePair &pair) const;

    ToolLocations m_tools;
    bool m_checkSync;
    bool m_hearPitch;
    int m_syncJobs;
    std::unique_ptr<MKVInspector> m_inspector;
    std::vector<std::unique_ptr<SyncChecker>> m_syncCheckers;
    QList<SyncChecker *> m_idleSyncCheckers;
    QList<EpisodePair> m_pairs;
    SourceFingerprints m_fingerprints;
    QHash<QUrl, MediaInspection> m_inspections;
    QList<QUrl> m_files;
    qsizetype m_nextFile = 0;
    QList<QUrl> m_sidecars;
    qsizetype m_nextSidecar = 0;
    QSet<QUrl> m_unreadableSidecars;
    QList<EpisodePair> m_pairsToCheck;
    qsizetype m_nextCheck = 0;  // to start
    qsizetype m_nextReport = 0; // to hand on
    // Ended checks not yet handed on, by position in m_pairsToCheck: the issues to emit and
    // the check when it measured anything.
    QHash<qsizetype, std::pair<QList<AnalysisIssue>, std::shared_ptr<PairSyncCheck>>> m_ended;
    AnalysisProgress m_progress;
};
