// The normalised cross-correlation of two envelopes and the refinement of its peak.
#include "CrossCorrelation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// sums[m] += weight·german[m] for the whole range: contiguous and free of dependencies
// between iterations, so the compiler turns it into vector instructions.
void addScaled(float *__restrict sums, const float *__restrict german, std::size_t count,
               float weight)
{
    for (std::size_t m = 0; m < count; ++m)
        sums[m] += weight * german[m];
}

// Vertex of the parabola through the highest value and its two neighbours, relative to it.
double parabolicShift(double before, double peak, double after)
{
    const double curvature = before - 2.0 * peak + after;
    return curvature < 0 ? 0.5 * (before - after) / curvature : 0.0;
}

} // namespace

std::vector<float> crossCorrelate(std::span<const float> english, std::span<const float> german,
                                  int maxLag)
{
    const std::size_t width = 2 * std::size_t(maxLag) + 1;
    // German on the lag axis: value i + maxLag + lag pairs with english[i]; zeros elsewhere.
    std::vector<float> padded(english.size() + width - 1, 0.0f);
    std::copy_n(german.begin(), std::min(german.size(), padded.size() - maxLag),
                padded.begin() + maxLag);

    std::vector<float> sums(width, 0.0f);
    // One pass over all lags per English value keeps the sums in the first-level cache.
    for (std::size_t i = 0; i < english.size(); ++i)
        addScaled(sums.data(), padded.data() + i, width, english[i]);

    const auto englishCount = std::ptrdiff_t(english.size());
    const auto germanCount = std::ptrdiff_t(german.size());
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        const std::ptrdiff_t overlap =
            std::min(englishCount, germanCount - lag) - std::max<std::ptrdiff_t>(0, -lag);
        float &sum = sums[std::size_t(lag + maxLag)];
        sum = overlap > 0 ? float(sum / std::sqrt(double(overlap))) : 0.0f;
    }
    return sums;
}

CorrelationPeak findPeak(std::span<const float> values, int neighbourhood)
{
    if (values.size() < 3)
        return {};
    const auto best = std::size_t(std::max_element(values.begin(), values.end()) - values.begin());
    if (best == 0 || best + 1 == values.size())
        return {.index = double(best)};

    double sum = 0, squares = 0;
    std::size_t count = 0;
    for (std::size_t m = 0; m < values.size(); ++m) {
        if (std::abs(std::ptrdiff_t(m) - std::ptrdiff_t(best)) > neighbourhood) {
            sum += values[m];
            squares += double(values[m]) * values[m];
            ++count;
        }
    }
    if (count < 2)
        return {.index = double(best)};
    const double mean = sum / double(count);
    const double deviation = std::sqrt(std::max(0.0, squares / double(count) - mean * mean));
    if (!(deviation > 0))
        return {.index = double(best)};
    return {.index =
                double(best) + parabolicShift(values[best - 1], values[best], values[best + 1]),
            .score = (values[best] - mean) / deviation,
            .found = true};
}
