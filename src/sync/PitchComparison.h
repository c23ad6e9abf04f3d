// Whether the German track sounds at the English pitch: the shift between their spectra.
#pragma once

#include "media/AnalysisIssue.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>

struct SyncMeasurement;

// How far a PAL dub that was sped up with the picture sounds too high: 12 · log2(1001/960).
inline const double palSemitones = 12 * std::log2(1001.0 / 960.0);

// The German track's pitch against the English one in one segment of the sync check.
struct SegmentPitch {
    double semitones = 0; // positive: the German track sounds higher
    double score = 0;     // the best match's height in standard deviations above the others
};

// Compares the spectra of the two decodes of one segment where they hold the same film time:
// `lagSeconds` is the segment's lag (German minus English, in film time), `stretch` the film
// seconds per second of the German file. Absent when too little of them overlaps or the best
// match lies at the edge of the ±1.5 semitones searched.
std::optional<SegmentPitch> compareSegmentPitch(std::span<const std::int16_t> english,
                                                std::span<const std::int16_t> german,
                                                int sampleRate, double lagSeconds, double stretch);

enum class PitchKind {
    raised,    // the dub was sped up with its pitch
    corrected, // the dub runs fast at the film's pitch
    unsure,    // the segments do not agree, or on neither
};

struct PitchVerdict {
    PitchKind kind = PitchKind::unsure;
    std::optional<double> semitones; // the shift the clearest segments agree on, if they do

    friend bool operator==(const PitchVerdict &, const PitchVerdict &) = default;
};

// What the measured segments say together.
PitchVerdict judgePitch(const SyncMeasurement &measurement);

// The hint for the list: every verdict of a PAL pair, and a pair without PAL speed-up only
// when it is measured clearly off in pitch. `label` begins it ("S01E02").
std::optional<AnalysisIssue> pitchFinding(const QString &label, const PitchVerdict &verdict,
                                          bool palPair);
