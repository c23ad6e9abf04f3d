// The analysis' chain: scan and pairing, inspect, sidecar checks, pair rules, sync checks.
#include "AnalysisRun.h"

#include "analysis/PairRules.h"
#include "analysis/PalSpeedup.h"
#include "inspect/MKVInspector.h"
#include "media/FolderScan.h"
#include "media/Naming.h"
#include "media/Pairing.h"
#include "subtitles/SidecarCheck.h"
#include "subtitles/SidecarScreening.h"
#include "sync/SyncChecker.h"
#include "tools/UserFacingError.h"

#include <QFuture>

AnalysisRun::AnalysisRun(const ToolLocations &tools, bool checkSync, int syncJobs,
                         bool hearPitch, QObject *parent)
    : QObject(parent), m_tools(tools), m_checkSync(checkSync), m_hearPitch(hearPitch),
      m_syncJobs(std::max(syncJobs, 1)), m_inspector(std::make_unique<MKVInspector>(tools))
{
}

AnalysisRun::~AnalysisRun() = default;

void AnalysisRun::start(const QUrl &primaryFolder, const QUrl &localizedFolder)
{
    reportUndecodableNames(primaryFolder, QStringLiteral("Ordner 1"));
    reportUndecodableNames(localizedFolder, QStringLiteral("Ordner 2"));
    m_pairs = pairEpisodes(scanFolder(primaryFolder, SourceKind::primary),
                           scanFolder(localizedFolder, SourceKind::localized));
    recordFingerprints(m_pairs, m_fingerprints);
    emit pairsFound(m_pairs);

    for (const EpisodePair &pair : std::as_const(m_pairs)) {
        if (pair.primary)
            m_files << pair.primary->url;
        if (pair.localized)
            m_files << pair.localized->url;
    }
    m_sidecars = sidecarsOf(m_pairs);
    m_progress.steps = m_files.size() + m_sidecars.size();
    inspectNextFile();
}

void AnalysisRun::reportUndecodableNames(const QUrl &folder, const QString &folderName)
{
    // Without a word, the partner of such a file would read as missing.
    for (const QString &name : undecodableFileNames(folder)) {
        emit issueFound(AnalysisIssue(
            AnalysisIssueSeverity::warning,
            QStringLiteral("%1: Die Datei in %2 wird übersprungen, weil ihr Name kein gültiges "
                           "UTF-8 ist. Umbenennen hilft.")
                .arg(name, folderName)));
    }
}

void AnalysisRun::advance()
{
    ++m_progress.step;
    emit progressChanged();
}

void AnalysisRun::inspectNextFile()
{
    if (m_nextFile == m_files.size()) {
        checkNextSidecar();
        return;
    }
    const QUrl file = m_files.at(m_nextFile++);
    advance();
    // The worker inspects; the result comes back to the main thread through `this`.
    m_inspector->inspectAsync(file).then(this, [this, file](QFuture<MediaInspection> done) {
        try {
            const MediaInspection inspection = done.result();
            m_inspections.insert(file, inspection);
            emit inspected(file, inspection);
        } catch (...) {
            emit issueFound(AnalysisIssue(AnalysisIssueSeverity::error,
                                          fileNameOf(file) + QStringLiteral(": ") +
                                              describeError(std::current_exception())));
        }
        // Queued: a result that was ready before `then` ran arrives synchronously, and a long
        // run of such files must not nest one call in the next.
        QMetaObject::invokeMethod(this, &AnalysisRun::inspectNextFile, Qt::QueuedConnection);
    });
}

void AnalysisRun::checkNextSidecar()
{
    if (m_nextSidecar == m_sidecars.size()) {
        m_pairs = withoutSidecars(m_pairs, m_unreadableSidecars);
        emit pairsFound(m_pairs);
        evaluatePairs();
        return;
    }
    const QUrl sidecar = m_sidecars.at(m_nextSidecar++);
    advance();
    checkSidecarAsync(*m_inspector, sidecar)
        .then(this, [this, sidecar](QFuture<SidecarVerdict> done) {
            const SidecarVerdict verdict = done.result();
            if (verdict == SidecarVerdict::unreadable)
                m_unreadableSidecars.insert(sidecar);
            if (const std::optional<AnalysisIssue> issue = sidecarIssue(sidecar, verdict))
                emit issueFound(*issue);
            QMetaObject::invokeMethod(this, &AnalysisRun::checkNextSidecar, Qt::QueuedConnection);
        });
}

void AnalysisRun::evaluatePairs()
{
    for (const AnalysisIssue &issue : ::evaluatePairs(m_pairs, m_inspections))
        emit issueFound(issue);
    for (const EpisodePair &pair : std::as_const(m_pairs)) {
        if (needsSyncCheck(pair))
            m_pairsToCheck << pair;
    }
    for (int i = 0; i < m_syncJobs && i < m_pairsToCheck.size(); ++i) {
        m_syncCheckers.push_back(std::make_unique<SyncChecker>(m_tools));
        m_idleSyncCheckers << m_syncCheckers.back().get();
    }
    m_progress.filesChecked = true;
    m_progress.steps += m_pairsToCheck.size();
    startPairSyncChecks();
}

bool AnalysisRun::needsSyncCheck(const EpisodePair &pair) const
{
    if (pair.status != PairStatus::ready || !m_inspections.contains(pair.primary->url) ||
        !m_inspections.contains(pair.localized->url))
        return false;
    if (m_checkSync)
        return true;
    // Heard for the pitch alone: only a pair the running times show at PAL speed is converted.
    const std::optional<double> primary = m_inspections.value(pair.primary->url).duration;
    const std::optional<double> localized = m_inspections.value(pair.localized->url).duration;
    return m_hearPitch && primary && localized && showsPalSpeedup(*primary, *localized);
}

void AnalysisRun::startPairSyncChecks()
{
    if (m_pairsToCheck.isEmpty()) {
        emit finished();
        return;
    }
    while (!m_idleSyncCheckers.isEmpty() && m_nextCheck < m_pairsToCheck.size()) {
        advance();
        checkPairSync(m_nextCheck++, *m_idleSyncCheckers.takeFirst());
    }
}

void AnalysisRun::checkPairSync(qsizetype position, SyncChecker &checker)
{
    const EpisodePair &pair = m_pairsToCheck.at(position);
    checker.check(m_inspections.value(pair.primary->url), m_inspections.value(pair.localized->url))
        .then(this, [this, position, &checker](QFuture<SyncMeasurement> done) {
            const QString label = episodeLabel(m_pairsToCheck.at(position));
            auto &[issues, check] = m_ended[position];
            try {
                const SyncMeasurement measurement = done.result();
                check = std::make_shared<PairSyncCheck>(measurement, judgeSync(label, measurement),
                                                        judgePitch(measurement));
                if (!m_checkSync) { // heard for the pitch alone: the offset was not asked for
                    check->verdict = SyncVerdict{check->verdict.assessment, {}, std::nullopt};
                    check->offsetChecked = false;
                }
                issues << check->verdict.findings;
                if (const auto hint = pitchFinding(label, check->pitch,
                                                   measurement.localizedStretch != 1.0))
                    issues << *hint;
            } catch (...) {
                // The check is an extra: its failure leaves the pair as the analysis judged it.
                issues << AnalysisIssue(AnalysisIssueSeverity::warning,
                                        label + QStringLiteral(": ") +
                                            describeError(std::current_exception()));
            }
            m_idleSyncCheckers << &checker;
            reportPairSyncChecks();
            // Queued: a result that was ready before `then` ran arrives synchronously, and a
            // long run of such pairs must not nest one start in the next.
            if (m_nextReport == m_pairsToCheck.size())
                QMetaObject::invokeMethod(this, &AnalysisRun::finished, Qt::QueuedConnection);
            else if (m_nextCheck < m_pairsToCheck.size())
                QMetaObject::invokeMethod(this, &AnalysisRun::startPairSyncChecks,
                                          Qt::QueuedConnection);
        });
}

void AnalysisRun::reportPairSyncChecks()
{
    // In table order: a check that ends early waits for those before it.
    while (m_ended.contains(m_nextReport)) {
        const auto [issues, check] = m_ended.take(m_nextReport);
        if (check)
            emit syncChecked(m_pairsToCheck.at(m_nextReport).id, *check);
        for (const AnalysisIssue &issue : issues)
            emit issueFound(issue);
        ++m_nextReport;
    }
}
