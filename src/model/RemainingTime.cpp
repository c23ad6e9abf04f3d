// Estimating and formatting the remaining time of a mux run.
#include "RemainingTime.h"

#include <algorithm>
#include <cmath>

std::optional<double> linearRemainingSeconds(double fraction, double elapsedSeconds)
{
    if (!(fraction > 0 && fraction < 1))
        return std::nullopt;
    return (1 - fraction) * elapsedSeconds / fraction;
}

QString formatRemainingTime(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 1.0)
        return {};
    // Far beyond any real run; keeps the conversion to an integer defined.
    const long long whole = std::llround(std::min(seconds, 1e12));
    if (whole <= 59)
        return QString::number(whole) + QStringLiteral(" s");
    return QString::number(whole / 60) + u':' +
           QStringLiteral("%1").arg(whole % 60, 2, 10, QLatin1Char('0')) + QStringLiteral(" min");
}
