// Phase agreement of two tracks' short-time spectra, frame by frame.
#include "PhaseAgreement.h"

#include "Spectrum.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// 32 ms at the check's sample rate: long enough to resolve a voice's harmonics, short enough
// to place a change of the lag to a few frames.
constexpr int windowSamples = 128;
constexpr std::size_t bins = windowSamples / 2 + 1;
// A bin 30 dB below its average counts half.
constexpr double quietBin = 1e-3;

} // namespace

std::vector<double> phaseAgreement(std::span<const float> first, std::span<const float> second,
                                   std::size_t frameSamples)
{
    const std::size_t frames = std::min(first.size(), second.size()) / frameSamples;
    std::vector<double> centres(frames);
    for (std::size_t k = 0; k < frames; ++k)
        centres[k] = (double(k) + 0.5) * double(frameSamples);
    const auto a = complexSpectra(first, windowSamples, centres);
    const auto b = complexSpectra(second, windowSamples, centres);

    std::vector<double> typical(bins, 0.0);
    for (std::size_t k = 0; k < frames; ++k) {
        for (std::size_t m = 0; m < bins; ++m)
            typical[m] += std::abs(a[k * bins + m]) * std::abs(b[k * bins + m]) / double(frames);
    }
    // The lowest and the highest bin hold no phase to compare.
    std::vector<double> agreement(frames, 0.0);
    for (std::size_t k = 0; k < frames; ++k) {
        double sum = 0;
        for (std::size_t m = 1; m + 1 < bins; ++m) {
            const std::complex<float> x = a[k * bins + m], y = b[k * bins + m];
            const double product = double(x.real()) * y.real() + double(x.imag()) * y.imag();
            sum += product / (std::abs(x) * std::abs(y) + quietBin * typical[m]);
        }
        agreement[k] = sum / double(bins - 2);
    }
    return agreement;
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
