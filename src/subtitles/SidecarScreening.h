// Sidecar screening: the analysis leaves out the external subtitle files it cannot mux.
#pragma once

#include "media/AnalysisIssue.h"
#include "media/EpisodePair.h"
#include "SidecarCheck.h"

#include <QSet>

// The pair table, the findings and the mux then see only the ones that will be muxed.

// The sidecar files of `pairs`, each once, in pair order.
QList<QUrl> sidecarsOf(const QList<EpisodePair> &pairs);

// `pairs` with `leftOut` taken from every file's sidecar list.
QList<EpisodePair> withoutSidecars(QList<EpisodePair> pairs, const QSet<QUrl> &leftOut);

// The warning for a sidecar that is left out.
AnalysisIssue unreadableSidecarIssue(const QUrl &sidecar);

// What the findings say about `sidecar` after its check gave `verdict`: the warning above for
// an unreadable file; for one that could not be prepared, which stays so that its pair fails at
// the mux rather than lose the track, the reason; nothing for the rest.
std::optional<AnalysisIssue> sidecarIssue(const QUrl &sidecar, SidecarVerdict verdict);
