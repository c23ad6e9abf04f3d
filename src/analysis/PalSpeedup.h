// The PAL speed-up: its factor, and whether two running times show it.
#pragma once

#include <cmath>

// PAL releases play 23.976 fps material at 25 fps, so they run shorter by 1001/960.
inline constexpr double palTimingFactor = 1001.0 / 960.0;

// True when the running times of folder 1 and folder 2 differ by the PAL speed-up, within
// a tolerance of 0.002 of the ratio. NaN or a non-positive folder-2 time never counts.
inline bool showsPalSpeedup(double primaryDuration, double localizedDuration)
{
    return localizedDuration > 0 &&
           std::abs(primaryDuration / localizedDuration - palTimingFactor) <= 0.002;
}
