// Onset envelopes: the rise of loudness of the higher frequencies, frame by frame.
#include "Envelope.h"

#include <algorithm>
#include <cmath>

namespace {

// Loudness below about -60 dBFS counts as quiet, so hiss in a pause cannot produce onsets
// as strong as a door slam.
constexpr double loudnessFloor = 1e-3;

// Log RMS of each frame; a frame spans the samples from floor(k·width) to floor((k+1)·width),
// so fractional widths (the stretched time axis) keep their average.
std::vector<double> frameLoudness(std::span<const float> samples, double width)
{
    const auto frames = std::size_t(double(samples.size()) / width);
    std::vector<double> loudness(frames);
    for (std::size_t k = 0; k < frames; ++k) {
        const auto begin = std::size_t(double(k) * width);
        const auto end = std::min(samples.size(), std::size_t(double(k + 1) * width));
        double energy = 0;
        for (std::size_t i = begin; i < end; ++i)
            energy += double(samples[i]) * samples[i];
        const double rms = end > begin ? std::sqrt(energy / double(end - begin)) : 0;
        loudness[k] = std::log(rms + loudnessFloor);
    }
    return loudness;
}

} // namespace

std::vector<float> emphasised(std::span<const std::int16_t> samples)
{
    std::vector<float> changes(samples.size(), 0.0f);
    for (std::size_t i = 2; i < samples.size(); ++i)
        changes[i] = float(samples[i] - 2 * samples[i - 1] + samples[i - 2]) / (4 * 32768.0f);
    return changes;
}

std::vector<float> onsetEnvelope(std::span<const std::int16_t> samples, int sampleRate,
                                 double frameSeconds)
{
    const std::vector<double> loudness =
        frameLoudness(emphasised(samples), sampleRate * frameSeconds);
    if (loudness.size() < 2)
        return {};
    std::vector<double> onsets(loudness.size(), 0.0);
    for (std::size_t k = 1; k < loudness.size(); ++k)
        onsets[k] = std::max(0.0, loudness[k] - loudness[k - 1]);

    double mean = 0;
    for (double onset : onsets)
        mean += onset;
    mean /= double(onsets.size());
    double variance = 0;
    for (double onset : onsets)
        variance += (onset - mean) * (onset - mean);
    variance /= double(onsets.size());
    if (variance < 1e-12)
        return {};

    const double scale = 1 / std::sqrt(variance);
    std::vector<float> envelope(onsets.size());
    std::transform(onsets.cbegin(), onsets.cend(), envelope.begin(),
                   [&](double onset) { return float((onset - mean) * scale); });
    return envelope;
}
