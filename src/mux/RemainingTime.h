#pragma once

#include <optional>

// The seconds still needed when `fraction` of the work took `elapsedSeconds`, assuming the
// rest goes at the same average speed. Absent unless 0 < fraction < 1.
inline std::optional<double> linearRemainingSeconds(double fraction, double elapsedSeconds)
{
    if (!(fraction > 0 && fraction < 1))
        return std::nullopt;
    return (1 - fraction) * elapsedSeconds / fraction;
}
