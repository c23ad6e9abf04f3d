// Checking a cut's place against the onsets on either side of it.
#include "OnsetContradiction.h"

#include "AudioDecoding.h"
#include "CrossCorrelation.h"
#include "Envelope.h"

#include <cmath>

namespace {

// Windows of 6 s, 1 s away from the place: one that matches the other side's lag within 0.05 s
// with a score of 6 or more, among lags up to 2 s beyond the two, shows the lag changing
// elsewhere.
constexpr std::size_t sideWindow = 6 * envelopeRate;
constexpr double sideLagMargin = 2;
constexpr double sideScore = 6;
constexpr double sideAgreement = 0.05;

} // namespace

bool onsetsContradict(const JumpAudio &audio, double from, double to, double boundary,
                      double resumes)
{
    const std::vector<float> english =
        onsetEnvelope(audio.english, syncSampleRate, 1.0 / envelopeRate);
    const std::vector<float> german =
        onsetEnvelope(audio.german, syncSampleRate, 1.0 / (envelopeRate * audio.stretch));
    if (english.empty() || german.empty())
        return false;
    const double lowest = std::min(from, to) - sideLagMargin;
    const int lags = int(std::lround((std::abs(to - from) + 2 * sideLagMargin) * envelopeRate));
    // German frame k sounds at film time germanStart·stretch + k/envelopeRate.
    const auto firstOffset = std::ptrdiff_t(std::lround(
        (audio.englishStart + lowest - audio.germanStart * audio.stretch) * envelopeRate));
    std::vector<float> values(std::size_t(lags) + 1);
    for (std::size_t w = 0; w + sideWindow <= english.size(); w += sideWindow / 3) {
        const double start = audio.englishStart + double(w) / envelopeRate;
        const double end = start + double(sideWindow) / envelopeRate;
        const bool before = end <= boundary - sideSeconds, after = start >= resumes + sideSeconds;
        if (!before && !after)
            continue;
        for (int l = 0; l <= lags; ++l) {
            const std::ptrdiff_t offset = firstOffset + l + std::ptrdiff_t(w);
            double sum = 0;
            std::size_t count = 0;
            for (std::size_t i = 0; i < sideWindow; ++i) {
                const std::ptrdiff_t k = offset + std::ptrdiff_t(i);
                if (k >= 0 && k < std::ptrdiff_t(german.size()))
                    sum += double(english[w + i]) * german[std::size_t(k)], ++count;
            }
            values[std::size_t(l)] = count > 0 ? float(sum / std::sqrt(double(count))) : 0.0f;
        }
        const CorrelationPeak peak = findPeak(values, envelopeRate / 2);
        const double otherLag = before ? to : from;
        if (peak.found && peak.score >= sideScore &&
            std::abs(lowest + peak.index / envelopeRate - otherLag) <= sideAgreement)
            return true;
    }
    return false;
}

