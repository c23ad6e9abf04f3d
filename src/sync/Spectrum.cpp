// Short-time spectra of decoded audio, computed with FFTW.
#include "Spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>

namespace {

// FFTW's planner is not thread-safe; only fftw_execute is.
std::mutex planning;

// Half the width, in cents, over which the spectral envelope is averaged: wider than the
// spacing of a tone's low overtones' peaks, narrower than a formant.
constexpr double envelopeCents = 100;

struct FftwFree {
    void operator()(void *memory) const { fftw_free(memory); }
};
struct PlanDestroy {
    void operator()(fftw_plan_s *plan) const
    {
        const std::lock_guard lock(planning);
        fftw_destroy_plan(plan);
    }
};

// For each log bin, the FFT bins it gathers: the whole band between its neighbours' midpoints
// where that holds FFT bins, else the two around its centre, interpolated.
struct BinMap {
    int first = 0;
    int last = 0;     // inclusive
    float weight = 0; // interpolation: share of `last` when `first + 1 == last` and `interpolate`
    bool interpolate = false;
};

std::vector<BinMap> mapBins(const LogAxis &axis, int frameLength, int sampleRate)
{
    const double hzPerBin = double(sampleRate) / frameLength;
    const double halfStep = std::exp2(axis.stepCents / 2400);
    std::vector<BinMap> map(std::size_t(axis.bins));
    for (int k = 0; k < axis.bins; ++k) {
        const double centre = axis.frequency(k) / hzPerBin;
        const int first = int(std::ceil(centre / halfStep));
        const int last = int(std::floor(centre * halfStep));
        if (last >= first) {
            map[std::size_t(k)] = {first, last};
        } else {
            const int below = int(std::floor(centre));
            map[std::size_t(k)] = {below, below + 1, float(centre - below), true};
        }
    }
    return map;
}

// One plan for frames of a given length, and the Hann window applied before it.
class WindowedFft {
public:
    explicit WindowedFft(int frameLength)
        : m_length(std::size_t(frameLength)), m_input(fftw_alloc_real(m_length)),
          m_output(fftw_alloc_complex(m_length / 2 + 1)), m_window(m_length)
    {
        for (std::size_t n = 0; n < m_length; ++n)
            m_window[n] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(n) / double(m_length));
        const std::lock_guard lock(planning);
        m_plan.reset(
            fftw_plan_dft_r2c_1d(frameLength, m_input.get(), m_output.get(), FFTW_ESTIMATE));
    }

    // Transforms the frame centred on `centre`; false where it reaches outside the samples.
    template <typename Sample> bool transform(std::span<const Sample> samples, double centre)
    {
        const auto start = std::ptrdiff_t(std::llround(centre)) - std::ptrdiff_t(m_length / 2);
        if (start < 0 || std::size_t(start) + m_length > samples.size())
            return false;
        for (std::size_t n = 0; n < m_length; ++n)
            m_input.get()[n] = double(samples[std::size_t(start) + n]) * m_window[n];
        fftw_execute(m_plan.get());
        return true;
    }

    std::size_t bins() const { return m_length / 2 + 1; }
    const fftw_complex &bin(std::size_t m) const { return m_output.get()[m]; }

private:
    std::size_t m_length;
    std::unique_ptr<double, FftwFree> m_input;
    std::unique_ptr<fftw_complex, FftwFree> m_output;
    std::unique_ptr<fftw_plan_s, PlanDestroy> m_plan;
    std::vector<double> m_window;
};

} // namespace

std::vector<std::complex<float>> complexSpectra(std::span<const float> samples, int frameLength,
                                                std::span<const double> centres)
{
    WindowedFft fft(frameLength);
    std::vector<std::complex<float>> spectra(centres.size() * fft.bins());
    for (std::size_t f = 0; f < centres.size(); ++f) {
        if (!fft.transform(samples, centres[f]))
            continue;
        for (std::size_t m = 0; m < fft.bins(); ++m)
            spectra[f * fft.bins() + m] = {float(fft.bin(m)[0]), float(fft.bin(m)[1])};
    }
    return spectra;
}

double LogAxis::frequency(int bin) const
{
    return lowestHz * std::exp2(bin * stepCents / 1200);
}

LogSpectrogram logSpectrogram(std::span<const std::int16_t> samples, int sampleRate,
                              int frameLength, std::span<const double> centres, const LogAxis &axis)
{
    LogSpectrogram result{axis.bins, std::vector<float>(centres.size() * std::size_t(axis.bins))};
    WindowedFft fft(frameLength);
    const std::vector<BinMap> map = mapBins(axis, frameLength, sampleRate);
    const int lastFftBin = frameLength / 2;
    const int envelopeBins = std::max(1, int(envelopeCents / axis.stepCents));

    std::vector<double> power(fft.bins());
    std::vector<float> logPower(std::size_t(axis.bins));
    for (std::size_t f = 0; f < centres.size(); ++f) {
        if (!fft.transform(samples, centres[f]))
            continue;
        for (std::size_t m = 0; m < power.size(); ++m)
            power[m] = fft.bin(m)[0] * fft.bin(m)[0] + fft.bin(m)[1] * fft.bin(m)[1];
        for (std::size_t k = 0; k < map.size(); ++k) {
            const BinMap &bins = map[k];
            double value = 0;
            if (bins.last > lastFftBin) {
                value = 0;
            } else if (bins.interpolate) {
                value = power[std::size_t(bins.first)] * (1 - bins.weight) +
                        power[std::size_t(bins.last)] * bins.weight;
            } else {
                for (int m = bins.first; m <= bins.last; ++m)
                    value = std::max(value, power[std::size_t(m)]);
            }
            // The floor keeps silence and the decoder's rounding from reading as structure.
            logPower[k] = float(std::log(value + 1.0));
        }
        // Peaks above the running mean over ±envelopeCents; troughs say little of pitch.
        float *frame = result.values.data() + f * std::size_t(axis.bins);
        double sum = 0;
        int from = 0, to = 0; // the window [from, to)
        for (int k = 0; k < axis.bins; ++k) {
            for (; to < std::min(axis.bins, k + envelopeBins + 1); ++to)
                sum += logPower[std::size_t(to)];
            for (; from < k - envelopeBins; ++from)
                sum -= logPower[std::size_t(from)];
            const double mean = sum / (to - from);
            frame[k] = std::max(0.0f, float(logPower[std::size_t(k)] - mean));
        }
    }
    return result;
}
