// The evidence of shared sound around a jump, frame by frame, and the noise it carries.
#include "JumpEvidence.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>

namespace {

// Lags this far below the lower known one and above the higher that match nothing: what the
// German track gives against English audio by chance there is the noise each frame's evidence
// carries.
constexpr double unrelatedLags[] = {0.37, 0.61, 1.13, 1.71, 2.63, 3.7, 6.1};
static_assert(unrelatedLags[std::size(unrelatedLags) - 1] < germanMargin);
// The noise of a frame is averaged over this many frames on either side.
constexpr int noiseFrames = 25;

} // namespace

std::vector<float> scaled(const std::vector<std::int16_t> &samples)
{
    std::vector<float> result(samples.size());
    std::transform(samples.begin(), samples.end(), result.begin(),
                   [](std::int16_t sample) { return float(sample) / 32768.0f; });
    return result;
}

std::vector<float> germanAt(const JumpAudio &audio, const std::vector<float> &german, double lag,
                            std::size_t count)
{
    std::vector<float> values(count, 0.0f);
    for (std::size_t n = 0; n < count; ++n) {
        const double film = audio.englishStart + double(n) / syncSampleRate + lag;
        const double position = (film / audio.stretch - audio.germanStart) * syncSampleRate;
        const double whole = std::floor(position);
        if (whole < 0 || whole + 1 >= double(german.size()))
            continue;
        const auto i = std::size_t(whole);
        const auto fraction = float(position - whole);
        values[n] = german[i] * (1 - fraction) + german[i + 1] * fraction;
    }
    return values;
}

FrameSpectra germanSpectra(const JumpAudio &audio, const std::vector<float> &german, double lag,
                           std::size_t frames)
{
    return FrameSpectra(germanAt(audio, german, lag, frames * frameSamples), frameSamples);
}

double EvidenceNoise::variance(std::size_t low, std::size_t high) const
{
    double chanceSquares = 0;
    for (const std::vector<double> &sums : m_chanceSums)
        chanceSquares += (sums[high] - sums[low]) * (sums[high] - sums[low]);
    const double independent = m_independent[high] - m_independent[low];
    return m_chanceSums.empty()
               ? independent
               : std::max(independent, chanceSquares / double(m_chanceSums.size()));
}

EvidenceNoise::EvidenceNoise(const JumpAudio &audio, const FrameSpectra &english,
                             const std::vector<float> &german, double lowestLag, double highestLag)
{
    const std::size_t frames = english.frames();
    const double germanEnd = audio.germanStart + double(german.size()) / syncSampleRate;
    std::vector<double> squares(frames + 1, 0.0), counts(frames + 1, 0.0); // running sums
    for (const double apart : unrelatedLags) {
        for (const double lag : {lowestLag - apart, highestLag + apart}) {
            const std::vector<double> chance =
                phaseAgreement(english, germanSpectra(audio, german, lag, frames));
            std::vector<double> sums(frames + 1, 0.0);
            bool throughout = true;
            for (std::size_t k = 0; k < frames; ++k) {
                // Only lags at which the German track was decoded count: near the start of the
                // film, the lags below read nothing.
                const double film = audio.englishStart + (double(k) + 0.5) * frameSeconds + lag;
                const double position = film / audio.stretch;
                const bool decoded = position >= audio.germanStart && position < germanEnd;
                if (decoded)
                    squares[k + 1] += chance[k] * chance[k], counts[k + 1] += 1;
                throughout = throughout && decoded;
                sums[k + 1] = sums[k] + chance[k];
            }
            if (throughout)
                m_chanceSums.push_back(std::move(sums));
        }
    }
    std::partial_sum(counts.begin(), counts.end(), counts.begin());
    std::partial_sum(squares.begin(), squares.end(), squares.begin());
    const double overlap = phaseAgreementOverlap(frameSamples);
    m_independent.assign(frames + 1, 0.0);
    for (std::size_t k = 0; k < frames; ++k) {
        const std::size_t low = k > noiseFrames ? k - noiseFrames : 0;
        const std::size_t high = std::min(frames, k + noiseFrames + 1);
        const double counted = counts[high] - counts[low];
        m_independent[k + 1] =
            m_independent[k] +
            (counted > 0 ? overlap * (squares[high] - squares[low]) / counted : 0);
    }
}
