// The findings the analysis reports about each ready, fully inspected pair.
#pragma once

#include "media/AnalysisIssue.h"
#include "media/EpisodePair.h"
#include "media/MediaInspection.h"

#include <QHash>
#include <QList>

// The findings about the ready pairs whose two files both have an inspection, pair by pair
// in the given order. Pairs that are not ready or not fully inspected yield nothing.
QList<AnalysisIssue> evaluatePairs(const QList<EpisodePair> &pairs,
                                   const QHash<QUrl, MediaInspection> &inspections);
