// A jump's German audio on the English film grid, and the waveform check of a placed jump's sides.
#include "JumpSides.h"

#include "AudioDecoding.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// Each side's waveform is matched in windows of 2 s at shifts within ±15 ms of its lag.
constexpr std::size_t sideWindow = 2 * syncSampleRate;
constexpr int shiftSamples = 60;
// A window of 2 s on either side whose match reaches 30 % of the strongest one there must
// peak within 1 ms of the side's lag, or match on it at least 80 % as well as at its peak, or
// the side follows another lag.
constexpr double strongShare = 0.3;
constexpr int centreSamples = syncSampleRate / 1000;
constexpr double onLagShare = 0.8;

// How one window of sideWindow English samples matches the German track at shifts within
// ±15 ms of a lag: the sums at every shift, and the best of them relative to the energies.
struct WindowMatch {
    std::size_t start = 0; // the window's first English sample
    std::vector<double> sums;
    double match = 0;
    std::size_t bestShift() const
    {
        return std::size_t(std::max_element(sums.begin(), sums.end()) - sums.begin());
    }
};

// The windows, on a grid of sideWindow from the stretch's start, that lie within the English
// samples [first, end).
std::vector<WindowMatch> windowMatches(const std::vector<float> &english,
                                       const std::vector<float> &german, const JumpAudio &audio,
                                       double lag, std::size_t first, std::size_t end)
{
    end = std::min(end, english.size());
    const std::vector<float> grid = germanAt(
        audio, german, lag - double(shiftSamples) / syncSampleRate, end + 2 * shiftSamples);
    std::vector<WindowMatch> windows;
    for (std::size_t w = (first + sideWindow - 1) / sideWindow * sideWindow; w + sideWindow <= end;
         w += sideWindow) {
        WindowMatch window{w, std::vector<double>(2 * shiftSamples + 1)};
        const auto begin = english.begin() + std::ptrdiff_t(w);
        for (std::size_t d = 0; d < window.sums.size(); ++d)
            window.sums[d] = std::inner_product(begin, begin + sideWindow,
                                                grid.begin() + std::ptrdiff_t(w + d), 0.0);
        const double energy =
            std::inner_product(begin, begin + sideWindow, begin, 0.0) *
            std::inner_product(grid.begin() + std::ptrdiff_t(w + shiftSamples),
                               grid.begin() + std::ptrdiff_t(w + shiftSamples + sideWindow),
                               grid.begin() + std::ptrdiff_t(w + shiftSamples), 0.0);
        window.match = energy > 0 ? window.sums[window.bestShift()] / std::sqrt(energy) : 0;
        windows.push_back(std::move(window));
    }
    return windows;
}

} // namespace

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

bool wavesStray(const std::vector<float> &english, const std::vector<float> &german,
                const JumpAudio &audio, double lag, std::size_t first, std::size_t end)
{
    const std::vector<WindowMatch> windows = windowMatches(english, german, audio, lag, first, end);
    double strongest = 0;
    for (const WindowMatch &window : windows)
        strongest = std::max(strongest, window.match);
    return std::any_of(windows.begin(), windows.end(), [&](const WindowMatch &window) {
        const std::size_t best = window.bestShift();
        const auto off = std::abs(std::ptrdiff_t(best) - shiftSamples);
        return window.match > 0 && window.match >= strongShare * strongest && off > centreSamples &&
               window.sums[shiftSamples] < onLagShare * window.sums[best];
    });
}
