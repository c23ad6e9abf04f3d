#pragma once

#include <span>
#include <vector>

// Sums of english[i]·german[i + maxLag + lag] over all i, for each lag from -maxLag to
// maxLag (index lag + maxLag). `german` must hold english.size() + 2·maxLag values, so every
// lag sums over the whole of `english`.
std::vector<float> crossCorrelate(std::span<const float> english, std::span<const float> german,
                                  int maxLag);

struct CorrelationPeak {
    double index = 0;      // of the highest sum, refined between samples
    double confidence = 0; // its height against the next-best peak outside its neighbourhood
    bool atEdge = false;   // the highest sum lies at the end of the range: no peak was found
};

// The highest sum of `sums` and how clearly it stands out from the other local maxima that
// lie more than `neighbourhood` values away.
CorrelationPeak findPeak(std::span<const float> sums, int neighbourhood);
