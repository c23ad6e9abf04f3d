#pragma once

#include "media/AnalysisIssue.h"
#include "mux/MuxPlan.h"

// The entries a successful pair adds to the issue list, in their order: skipped duplicate
// and wrong-folder subtitles, replaced bitmap tracks, the timing correction, the film-speed
// conversion of the German audio, mkvmerge's warnings, the new file.
QList<AnalysisIssue> muxResultIssues(const QString &label, const MuxResult &result);
