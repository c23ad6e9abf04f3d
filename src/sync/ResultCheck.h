// The check of a muxed file: its German audio measured against its English audio.
#pragma once

#include "media/AnalysisIssue.h"
#include "SyncCheck.h"
#include "SyncSegments.h"
#include "tools/ToolLocations.h"

#include <QUrl>

#include <optional>

// What the output file shows. Both tracks play on one axis there, so every trusted segment
// should have a lag of about zero.
struct ResultCheck {
    SyncMeasurement measurement;
    SyncAssessment assessment;
    // The largest |lag| of the trusted segments, and the centre of its segment in film time;
    // absent when no segment is trusted.
    std::optional<double> largestDeviationSeconds;
    double deviationAtSeconds = 0;
    AnalysisIssue finding{AnalysisIssueSeverity::information, {}};
};

// The jumps of an output's segments that only its first or its last segment shows. Held notes
// can make an edge segment alone match a lag the audio does not have, so these are looked for in
// the audio and count only where placed; every other jump is a deviation wherever it lies.
QList<SyncJump> edgeJumps(const SyncMeasurement &measurement);

// Judges the output's measurement; `label` begins the finding ("S01E02").
ResultCheck judgeResult(const QString &label, const SyncMeasurement &measurement);

// Measures the first German audio track of the muxed `output` against its first English one
// with the sync check's segments, at most ten minutes of each, and judges it; a jump that only
// the first or the last segment shows counts where it is placed in the audio. Runs mkvmerge
// and ffmpeg on the calling thread. Absent once `stop` is set; a file that cannot be read, or
// lacks either track, has an empty measurement.
std::optional<ResultCheck> checkResult(const QString &label, const QUrl &output,
                                       const ToolLocations &tools, const StopFlag *stop,
                                       const SyncSegmentLayout &layout = {});
