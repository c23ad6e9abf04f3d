#include "CrossCorrelation.h"

#include <algorithm>
#include <cstdlib>

namespace {

// A peak this many times higher than every other counts as unrivalled; it also stands in for
// a ratio when no other peak rises above zero.
constexpr double maxConfidence = 1000;

// sums[m] += weight·german[m] for the whole range: contiguous and free of dependencies
// between iterations, so the compiler turns it into vector instructions.
void addScaled(float *__restrict sums, const float *__restrict german, std::size_t count,
               float weight)
{
    for (std::size_t m = 0; m < count; ++m)
        sums[m] += weight * german[m];
}

// Vertex of the parabola through the highest sum and its two neighbours, relative to it.
double parabolicShift(float before, float peak, float after)
{
    const double curvature = double(before) - 2.0 * peak + after;
    return curvature < 0 ? 0.5 * (double(before) - after) / curvature : 0.0;
}

} // namespace

std::vector<float> crossCorrelate(std::span<const float> english, std::span<const float> german,
                                  int maxLag)
{
    const std::size_t width = 2 * std::size_t(maxLag) + 1;
    std::vector<float> sums(width, 0.0f);
    if (german.size() < english.size() + width - 1)
        return sums;
    // One pass over all lags per English value keeps the sums in the first-level cache.
    for (std::size_t i = 0; i < english.size(); ++i)
        addScaled(sums.data(), german.data() + i, width, english[i]);
    return sums;
}

CorrelationPeak findPeak(std::span<const float> sums, int neighbourhood)
{
    CorrelationPeak peak;
    if (sums.size() < 3)
        return {.atEdge = true};
    const auto best = std::size_t(std::max_element(sums.begin(), sums.end()) - sums.begin());
    if (best == 0 || best + 1 == sums.size())
        return {.index = double(best), .atEdge = true};
    peak.index = double(best) + parabolicShift(sums[best - 1], sums[best], sums[best + 1]);

    float rival = 0;
    for (std::size_t m = 1; m + 1 < sums.size(); ++m) {
        const bool localMaximum = sums[m] >= sums[m - 1] && sums[m] >= sums[m + 1];
        if (localMaximum && std::abs(std::ptrdiff_t(m) - std::ptrdiff_t(best)) > neighbourhood)
            rival = std::max(rival, sums[m]);
    }
    const double height = sums[best];
    peak.confidence = height > 0 ? height / std::max(double(rival), height / maxConfidence) : 0;
    return peak;
}
