// Stretches of one audio track decoded with ffmpeg for the sync check.
#pragma once

#include "tools/ChildProcess.h"

#include <QString>
#include <QUrl>

#include <cstdint>
#include <optional>
#include <vector>

// Envelopes need no more than a few kHz, and a low rate keeps ffmpeg's output small.
inline constexpr int syncSampleRate = 4000;

// A stretch of one audio track, in the file's own time.
struct PcmRequest {
    QUrl file;
    int audioIndex = 0; // among the file's audio tracks
    double startSeconds = 0;
    double lengthSeconds = 0;
};

struct DecodeLimits {
    int timeoutMilliseconds = 120000;
    const StopFlag *stop = nullptr;
};

// The requested stretch as mono 16-bit samples at syncSampleRate, shorter when the track
// ends early. Absent when ffmpeg does not start, fails, runs past the time limit or is
// stopped, and when it delivers no sample at all.
std::optional<std::vector<std::int16_t>>
decodeMonoPcm(const QString &ffmpeg, const PcmRequest &request, const DecodeLimits &limits);
