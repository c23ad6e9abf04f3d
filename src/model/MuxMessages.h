// What a mux run says: the entries of a finished pair and the running status.
#pragma once

#include "media/AnalysisIssue.h"
#include "mux/MuxPlan.h"

// The entries a successful pair adds to the issue list, in their order: skipped duplicate
// and wrong-folder subtitles, replaced bitmap tracks, the timing correction, the film-speed
// conversion of the German audio, the offset, drift and cuts undone, mkvmerge's warnings, the
// new file.
QList<AnalysisIssue> muxResultIssues(const QString &label, const MuxResult &result);

// The status of a running mux: the labels of the running pairs, then how many pairs have
// started of how many, as in "S01E05, S01E06 (6 von 12)".
QString muxStatusText(const QStringList &runningLabels, qsizetype started, qsizetype count);
