// The evidence of shared sound around a jump, frame by frame, and the noise it carries.
#pragma once

#include "AudioDecoding.h"
#include "CutLocation.h"
#include "PhaseAgreement.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Frames of 10 ms: a jump placed to one is well within the 0.05 s that matters.
constexpr int frameSamples = syncSampleRate / 100;
constexpr double frameSeconds = double(frameSamples) / syncSampleRate;
// German audio decoded beyond both lags: the noise is read at lags up to this far from them.
constexpr double germanMargin = 7;

// The samples from -1 to 1.
std::vector<float> scaled(const std::vector<std::int16_t> &samples);

// `count` German values on the English grid at `lag`: value n sounds at the film time of English
// sample n plus the lag; zero outside the decoded stretch.
std::vector<float> germanAt(const JumpAudio &audio, const std::vector<float> &german, double lag,
                            std::size_t count);

// The spectra of `frames` frames of the German track on the English grid at `lag`, to compare
// with the English spectra by phase.
FrameSpectra germanSpectra(const JumpAudio &audio, const std::vector<float> &german, double lag,
                           std::size_t frames);

// The noise of the evidence summed over frames [low, high). Each frame's chance evidence at the
// unrelated lags, averaged over its neighbourhood and widened by what neighbouring frames share,
// adds up as independent chance does. Held notes do not: matched against the same note at another
// lag, they agree by chance over their whole length, with one sign. So the sums themselves over
// the same frames at the unrelated lags count too, where they are larger.
class EvidenceNoise {
public:
    // From the chance evidence at lags that match nothing, below `lowestLag` and above
    // `highestLag`.
    EvidenceNoise(const JumpAudio &audio, const FrameSpectra &english,
                  const std::vector<float> &german, double lowestLag, double highestLag);

    // Of the evidence summed over frames [low, high).
    double variance(std::size_t low, std::size_t high) const;

private:
    std::vector<double> m_independent;             // running sums: entry k holds frames 0 to k - 1
    std::vector<std::vector<double>> m_chanceSums; // per unrelated lag decoded throughout
};
