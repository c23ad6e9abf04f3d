// Phase agreement of two tracks' short-time spectra, frame by frame.
#include "PhaseAgreement.h"

#include "Spectrum.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace {

// 32 ms at the check's sample rate: long enough to resolve a voice's harmonics, short enough
// to place a change of the lag to a few frames.
constexpr int windowSamples = 128;
constexpr std::size_t bins = windowSamples / 2 + 1;
// A bin 30 dB below its average counts half.
constexpr double quietBin = 1e-3;

std::vector<double> frameCentres(std::size_t frames, std::size_t frameSamples)
{
    std::vector<double> centres(frames);
    for (std::size_t k = 0; k < frames; ++k)
        centres[k] = (double(k) + 0.5) * double(frameSamples);
    return centres;
}

// The spectra of both tracks over `count` frames from `firstFrame`, and each bin's typical level
// over them. The lowest and the highest bin hold no phase to compare.
class PhaseProducts {
public:
    PhaseProducts(const FrameSpectra &first, const FrameSpectra &second, std::size_t firstFrame,
                  std::size_t count)
    {
        const std::size_t frames = std::min(first.frames(), second.frames());
        firstFrame = std::min(firstFrame, frames);
        m_frames = std::min(count, frames - firstFrame);
        m_first = first.from(firstFrame);
        m_second = second.from(firstFrame);
        for (std::size_t k = 0; k < m_frames; ++k) {
            for (std::size_t m = 0; m < bins; ++m)
                m_typical[m] += std::abs(m_first[k * bins + m]) * std::abs(m_second[k * bins + m]) /
                                double(m_frames);
        }
    }

    std::size_t frames() const { return m_frames; }

    // The cross spectrum of bin m in frame k reduced to its phase: a unit turn where both tracks
    // are at their usual level, shorter where either is quiet, nothing in digital silence.
    std::complex<double> operator()(std::size_t k, std::size_t m) const
    {
        const std::complex<double> x = m_first[k * bins + m], y = m_second[k * bins + m];
        const double scale = std::abs(x) * std::abs(y) + quietBin * m_typical[m];
        return scale > 0 ? x * std::conj(y) / scale : 0.0;
    }

private:
    std::size_t m_frames = 0;
    const std::complex<float> *m_first = nullptr;
    const std::complex<float> *m_second = nullptr;
    std::array<double, bins> m_typical{};
};

} // namespace

FrameSpectra::FrameSpectra(std::span<const float> samples, std::size_t frameSamples)
    : m_frameSamples(frameSamples), m_frames(samples.size() / frameSamples),
      m_spectra(complexSpectra(samples, windowSamples, frameCentres(m_frames, frameSamples)))
{
}

const std::complex<float> *FrameSpectra::from(std::size_t k) const
{
    return m_spectra.data() + k * bins;
}

std::vector<double> phaseAgreement(const FrameSpectra &first, const FrameSpectra &second)
{
    const PhaseProducts products(first, second, 0, first.frames());
    std::vector<double> agreement(products.frames(), 0.0);
    for (std::size_t k = 0; k < agreement.size(); ++k) {
        for (std::size_t m = 1; m + 1 < bins; ++m)
            agreement[k] += products(k, m).real() / double(bins - 2);
    }
    return agreement;
}

PhaseShift bestPhaseShift(const FrameSpectra &first, const FrameSpectra &second,
                          std::size_t firstFrame, std::size_t count, int maxSamples)
{
    const PhaseProducts products(first, second, firstFrame, count);
    std::vector<std::complex<double>> summed(bins);
    for (std::size_t k = 0; k < products.frames(); ++k) {
        for (std::size_t m = 1; m + 1 < bins; ++m)
            summed[m] += products(k, m);
    }
    // Where `second` runs d samples late, each bin's product turns by its frequency times d.
    const auto agreementAt = [&](double shift) {
        double sum = 0;
        for (std::size_t m = 1; m + 1 < bins; ++m)
            sum += (summed[m] *
                    std::polar(1.0, -2 * std::numbers::pi * double(m) * shift / windowSamples))
                       .real();
        return sum / double(bins - 2);
    };
    constexpr int steps = 8; // per sample
    PhaseShift best{-double(maxSamples), agreementAt(-maxSamples),
                    -std::numeric_limits<double>::infinity()};
    for (int step = -maxSamples * steps; step <= maxSamples * steps; ++step) {
        const double value = agreementAt(double(step) / steps);
        if (value > best.agreement)
            best.samples = double(step) / steps, best.agreement = value;
        if (std::abs(step) <= steps)
            best.agreementNearUnshifted = std::max(best.agreementNearUnshifted, value);
    }
    return best;
}

double phaseAgreementOverlap(std::size_t frameSamples)
{
    // Two frames d samples apart see the same noise as far as their windows overlap; each
    // track's spectra correlate by that share, and their products by its square.
    std::vector<double> window(windowSamples);
    for (int n = 0; n < windowSamples; ++n)
        window[std::size_t(n)] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * n / windowSamples);
    const auto shared = [&](std::size_t d) {
        double sum = 0;
        for (std::size_t n = 0; n + d < window.size(); ++n)
            sum += window[n] * window[n + d];
        return sum;
    };
    double overlap = 1;
    for (std::size_t d = frameSamples; d < window.size(); d += frameSamples)
        overlap += 2 * std::pow(shared(d) / shared(0), 2);
    return overlap;
}
