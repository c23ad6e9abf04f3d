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

namespace {

// Per frame and bin, the cross spectrum of both tracks reduced to its phase: a unit turn where
// both are at their usual level, shorter where either is quiet. The lowest and the highest bin
// hold no phase to compare and stay zero.
std::vector<std::complex<double>>
phaseProducts(std::span<const float> first, std::span<const float> second, std::size_t frameSamples)
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
    std::vector<std::complex<double>> products(frames * bins);
    for (std::size_t k = 0; k < frames; ++k) {
        for (std::size_t m = 1; m + 1 < bins; ++m) {
            const std::complex<double> x = a[k * bins + m], y = b[k * bins + m];
            products[k * bins + m] =
                x * std::conj(y) / (std::abs(x) * std::abs(y) + quietBin * typical[m]);
        }
    }
    return products;
}

} // namespace

std::vector<double> phaseAgreement(std::span<const float> first, std::span<const float> second,
                                   std::size_t frameSamples)
{
    const std::vector<std::complex<double>> products = phaseProducts(first, second, frameSamples);
    std::vector<double> agreement(products.size() / bins, 0.0);
    for (std::size_t k = 0; k < agreement.size(); ++k) {
        for (std::size_t m = 1; m + 1 < bins; ++m)
            agreement[k] += products[k * bins + m].real() / double(bins - 2);
    }
    return agreement;
}

std::optional<double> phaseDelay(std::span<const float> first, std::span<const float> second,
                                 std::size_t frameSamples, int maxSamples)
{
    const std::vector<std::complex<double>> products = phaseProducts(first, second, frameSamples);
    std::vector<std::complex<double>> summed(bins);
    for (std::size_t k = 0; k < products.size() / bins; ++k) {
        for (std::size_t m = 0; m < bins; ++m)
            summed[m] += products[k * bins + m];
    }
    // Where `second` runs d samples late, each bin's product turns by its frequency times d.
    const auto agreementAt = [&](double shift) {
        double sum = 0;
        for (std::size_t m = 1; m + 1 < bins; ++m)
            sum += (summed[m] *
                    std::polar(1.0, -2 * std::numbers::pi * double(m) * shift / windowSamples))
                       .real();
        return sum;
    };
    constexpr int steps = 8; // per sample
    int best = -maxSamples * steps;
    double bestValue = agreementAt(-maxSamples);
    for (int step = -maxSamples * steps + 1; step <= maxSamples * steps; ++step) {
        const double value = agreementAt(double(step) / steps);
        if (value > bestValue)
            best = step, bestValue = value;
    }
    if (!(bestValue > 0) || std::abs(best) == maxSamples * steps)
        return std::nullopt;
    return double(best) / steps;
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
