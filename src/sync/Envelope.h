// The onset envelope the sync check compares instead of the samples.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Envelope frames per second of film time: 10 ms frames resolve an offset far below the
// 0.04 s that matters, and ten minutes stay at 60,000 values.
inline constexpr int envelopeRate = 100;

// The second difference of the samples, scaled to full scale 1: it weighs sound by the square
// of its frequency, so knocks, clicks and hiss of the shared effects count far more than the
// low, voiced part of the dialogue, which differs between the languages.
std::vector<float> emphasised(std::span<const std::int16_t> samples);

// Onset strength of `samples` (taken at `sampleRate`), one value per frame of `frameSeconds`
// of the samples' own time: the rise of the log loudness of their higher frequencies from
// frame to frame, falls dropped, then shifted to mean 0 and scaled to variance 1. Rises of loudness
// mark the same effects and music in both releases even where the dialogue under them differs.
// Empty when the loudness never changes, as in silence.
std::vector<float> onsetEnvelope(std::span<const std::int16_t> samples, int sampleRate,
                                 double frameSeconds);
