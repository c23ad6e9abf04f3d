// Comparing two envelopes lag by lag, and the peak that stands out.
#pragma once

#include <span>
#include <vector>

// For each lag from -maxLag to maxLag (index lag + maxLag): the sum of english[i]·german[i + lag]
// over the i where both exist, divided by the square root of their number. Sums of unrelated
// signals of unit variance then spread alike at every lag, however much of the two overlaps.
// Both start at the same moment; a lag without overlap gives 0.
std::vector<float> crossCorrelate(std::span<const float> english, std::span<const float> german,
                                  int maxLag);

struct CorrelationPeak {
    double index = 0;   // of the highest value, refined between values
    double score = 0;   // its height above the other values' mean, in their standard deviations
    bool found = false; // false: the highest value lies at an end, the best match maybe beyond
};

// The highest of `values` and how far it stands out from the values more than `neighbourhood`
// away from it (its own slopes are no rivals). The measure depends neither on the level nor on
// the spread of the values, so loud and quiet material are judged alike.
CorrelationPeak findPeak(std::span<const float> values, int neighbourhood);
