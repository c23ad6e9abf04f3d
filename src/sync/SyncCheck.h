#pragma once

#include "media/AnalysisIssue.h"
#include "tools/ChildProcess.h"

#include <QString>
#include <QUrl>

#include <optional>

// Measures whether the German audio of a pair lines up with the English audio of folder 1:
// both are decoded to a low-rate mono signal, turned into loudness envelopes (the releases
// share music and effects, not dialogue) and cross-correlated.

// One audio track to compare: the file, the track's position among the file's audio tracks
// (0 for the first audio track), and the file's running time in seconds.
struct SyncSource {
    QUrl file;
    int audioIndex = 0;
    double duration = 0;
};

// The offset found in one window of the episode.
struct SyncWindowResult {
    double offsetSeconds = 0; // German minus English for the same event, in film time
    double confidence = 0;    // main peak against the next-best peak outside its neighbourhood
    bool isConfident = false; // the confidence reaches 2, and the peak lies within ±30 s
};

struct SyncMeasurement {
    std::optional<SyncWindowResult> early; // the first ten minutes
    std::optional<SyncWindowResult> late;  // five minutes ending two minutes before the end
};

struct SyncCheckOptions {
    QString ffmpeg;                // the ffmpeg executable
    double localizedStretch = 1.0; // 1001/960 when folder 2 runs at PAL speed
    int decodeTimeoutMilliseconds = 120000;
    const StopFlag *stop = nullptr; // set: the running ffmpeg is killed, nothing is measured
};

// Decodes and compares. A window that cannot be decoded is absent; a silent one is present
// with confidence 0. Windows are clipped to a short episode, and one too short for a late
// window that differs from the early one has none. Once `stop` is set, nothing is measured.
SyncMeasurement measureSync(const SyncSource &english, const SyncSource &german,
                            const SyncCheckOptions &options);

// What the measurement means for the mux.
struct SyncVerdict {
    std::optional<AnalysisIssue> finding;          // the issue for the list, if any
    std::optional<double> correctionOffsetSeconds; // the constant offset the mux undoes
};

// `label` begins the finding ("S01E02").
SyncVerdict judgeSync(const QString &label, const SyncMeasurement &measurement);
