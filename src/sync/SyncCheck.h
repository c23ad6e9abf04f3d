// Measures whether the German audio of a pair lines up with the English audio of folder 1.
#pragma once

#include "media/AnalysisIssue.h"
#include "PitchComparison.h"
#include "SyncCorrection.h"
#include "tools/ChildProcess.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// Short segments spread over the episode are decoded from both tracks, turned into loudness
// envelopes (the releases share music and effects, not dialogue) and cross-correlated; the
// lags of the segments are then read together: agreeing, jumping, or changing steadily.

// One audio track to compare: the file, the track's position among the file's audio tracks
// (0 for the first audio track), and the file's running time in seconds.
struct SyncSource {
    QUrl file;
    int audioIndex = 0;
    double duration = 0;
};

// What one segment of the episode shows.
struct SyncSegment {
    double startSeconds = 0; // in English film time
    double lengthSeconds = 0;
    bool hasAudio = false; // both tracks decoded, and neither is silent
    // German minus English for the same event, in film time: positive when the German track
    // is late. Absent without audio, and when the best match lies at the end of the lags
    // searched.
    std::optional<double> lagSeconds;
    double score = 0; // the match's height in standard deviations above the other lags' mean
    std::optional<SegmentPitch> pitch; // where the lag is known and the pitch was compared
};

// Where a jump of the lag between two segments lies, found in short windows between them.
struct CutLocation {
    double fromLagSeconds = 0;
    double toLagSeconds = 0;
    // English film time of the last moment with the earlier lag; absent when the windows do
    // not show one clear place (quiet there, or more than one jump between the segments).
    std::optional<double> englishSeconds;
};

struct SyncMeasurement {
    double durationSeconds = 0;  // the English running time
    QList<SyncSegment> segments; // in time order; none when the check could not run
    // Film seconds per second of the German file the segments were measured with.
    double localizedStretch = 1.0;
    // The stretch is PAL speed heard in the audio, which the running times alone do not show.
    bool stretchHeard = false;
    QList<CutLocation> cutLocations; // per jump the segments showed, found by its lags
    // The jumps were looked for in the audio: one that an edge segment alone shows counts only
    // where it was placed.
    bool cutsSought = false;
};

struct SyncCheckOptions {
    QString ffmpeg;                         // the ffmpeg executable
    double localizedStretch = 1.0;          // 1001/960 when folder 2 runs at PAL speed
    int decodeTimeoutMilliseconds = 120000; // per decode; one that runs out ends the check
    const StopFlag *stop = nullptr; // set: the running ffmpeg is stopped, nothing is measured
    bool comparePitch = true;       // also compare the pitch on the segments' decodes
};

// Decodes and compares. An episode too short for three segments, or without a running time,
// has no segments. Once `stop` is set, nothing is measured.
SyncMeasurement measureSync(const SyncSource &english, const SyncSource &german,
                            const SyncCheckOptions &options);

enum class SyncPattern {
    inSync,   // the segments agree on an offset too small to hear
    constant, // the segments agree on one offset
    cut,      // the offset jumps once or more, in time order
    drift,    // the offset changes steadily with time
    unsure,   // the segments do not agree enough for any of these
};

// A jump of the lag between two groups of agreeing segments.
struct SyncJump {
    double englishSeconds = 0; // located, or else halfway between the segments around it
    double fromLagSeconds = 0;
    double toLagSeconds = 0;
    // The stretch it lies in: from the start of the last segment with the earlier lag to the
    // end of the first segment with the later one.
    double earliestSeconds = 0;
    double latestSeconds = 0;
    bool located = false; // to a frame, by the measurement's cut locations
};

// What the segments say together.
struct SyncAssessment {
    SyncPattern pattern = SyncPattern::unsure;
    QList<bool> trusted;      // per segment of the measurement: part of the agreement found
    double offsetSeconds = 0; // inSync, constant: the agreed lag
    double cutSeconds = 0;    // cut: the English film time of the first jump
    // cut: the lags before and after the first jump; drift: the fitted lags at the start and
    // the end of the episode.
    double fromSeconds = 0;
    double toSeconds = 0;
    double driftPerSecond = 0; // drift: the fitted line's slope
    QList<SyncJump> cuts;      // cut: every jump, in time order
    // cut: the lag that holds for the episode without splices: the one before the first jump,
    // unless only the first segment shows it, a cut in the opening minutes.
    double unsplicedOffsetSeconds = 0;
};

SyncAssessment assessSync(const SyncMeasurement &measurement);

// What the measurement means for the user and the mux.
struct SyncVerdict {
    SyncAssessment assessment;
    QList<AnalysisIssue> findings;            // the issues for the list, in this order
    std::optional<SyncCorrection> correction; // what the mux undoes
};

// `label` begins the finding ("S01E02").
SyncVerdict judgeSync(const QString &label, const SyncMeasurement &measurement);
