// Finds, to a frame, where between two segments the lag of the German track jumps.
#pragma once

#include "SyncCheck.h"

#include <cstdint>
#include <optional>
#include <vector>

// The audio around one jump: both tracks at syncSampleRate, each with the time of its first
// sample (English in film time, German in the German file's own time).
struct JumpAudio {
    std::vector<std::int16_t> english;
    double englishStart = 0;
    std::vector<std::int16_t> german;
    double germanStart = 0;
    double stretch = 1; // film seconds per second of the German file
};

// The English film time of the last moment that sounds with `fromLag`, when the audio shows one
// clear place where the lag becomes `toLag` (a German stretch missing from the English release,
// or an English one the German lacks). A pause in the shared sound fits the audio alike wherever
// the jump is put in it; where the German track is silent through the pause at both lags, every
// place splices the same sound, and its middle is given. Absent when the place is not clear to
// 0.05 s otherwise, or where the audio on either side of the place follows another lag than its
// own. Two cuts the segments saw as one leave such audio between them.
std::optional<double> locateJump(const JumpAudio &audio, double fromLag, double toLag);

// Decodes the stretch of each jump of `assessment` and locates it there: one location per
// jump, in order. Nothing once `options.stop` is set.
QList<CutLocation> locateCuts(const SyncSource &english, const SyncSource &german,
                              const SyncCheckOptions &options, const SyncAssessment &assessment);
