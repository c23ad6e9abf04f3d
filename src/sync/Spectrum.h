// Short-time spectra of decoded audio, computed with FFTW: complex ones, and log spectra on a
// logarithmic frequency axis.
#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

// Spectra of Hann-windowed frames of `frameLength` samples (a power of two), one per centre,
// each of frameLength / 2 + 1 bins from 0 Hz to half the sample rate, frame after frame. Frames
// that would reach outside the samples are all zero.
std::vector<std::complex<float>> complexSpectra(std::span<const float> samples, int frameLength,
                                                std::span<const double> centres);

// A frequency axis in equal steps of pitch: bin k lies at lowestHz · 2^(k · stepCents / 1200).
struct LogAxis {
    double lowestHz = 0;
    double stepCents = 0;
    int bins = 0;

    double frequency(int bin) const;
};

// One spectrum per requested frame, frame after frame, each `axis.bins` values: the log power
// of the frame with its broad spectral envelope taken away, so that what remains are the peaks
// of tones and their overtones. Frames that would reach outside the samples are all zero.
struct LogSpectrogram {
    int bins = 0;
    std::vector<float> values;

    std::span<const float> frame(std::size_t index) const
    {
        return std::span<const float>(values).subspan(index * std::size_t(bins), std::size_t(bins));
    }
};

// Frames of `frameLength` samples (a power of two), each centred on one of `centres` (sample
// positions), of `samples` taken at `sampleRate`.
LogSpectrogram logSpectrogram(std::span<const std::int16_t> samples, int sampleRate,
                              int frameLength, std::span<const double> centres,
                              const LogAxis &axis);
