// The result of an analysis as the command-line front end prints it.
#pragma once

#include "media/AnalysisIssue.h"
#include "media/EpisodePair.h"
#include "media/MediaInspection.h"
#include "model/IssueLine.h" // IWYU pragma: export
#include "model/PairPlans.h"
#include "sync/ResultCheck.h"
#include "sync/SyncChecker.h"

#include <QByteArray>

// One line per pair (label, folder-1 name or "–", folder-2 name or "–", output name, status,
// separated by tabs), an empty line, then one line per issue. With `inspections` (the analysis
// inspected every file), a ready pair with an unreadable file says so in its status. With
// `plans` (by pair id), each planned pair's tracks follow the pairs, a block each.
QString analysisReportText(const QList<EpisodePair> &pairs, const QList<AnalysisIssue> &issues,
                           const QHash<QUrl, MediaInspection> *inspections = nullptr,
                           const QHash<QString, PairPlanOutcome> *plans = nullptr);

// The same content as one JSON document, with "complete" false when the analysis was stopped
// before every file was inspected, and "unreadable": true on a pair whose status says so.
// With `syncChecks` (the audio sync check ran), each pair carries its segments and the verdict
// under "syncCheck", and the German track's measured pitch under "pitch". With `plans`, each
// planned pair carries its tracks under "plan" (null, and "planError", where the mux would fail
// it). With `resultChecks` (a mux run with the sync check), each pair carries the check of its
// output under "resultCheck".
QByteArray analysisReportJson(const QList<EpisodePair> &pairs, const QList<AnalysisIssue> &issues,
                              bool complete,
                              const QHash<QString, PairSyncCheck> *syncChecks = nullptr,
                              const QHash<QUrl, MediaInspection> *inspections = nullptr,
                              const QHash<QString, PairPlanOutcome> *plans = nullptr,
                              const QHash<QString, ResultCheck> *resultChecks = nullptr);
