#include "RemainingTime.h"

#include <cmath>

QString formatRemainingTime(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 1.0)
        return {};
    const qint64 whole = std::llround(seconds); // halves away from zero
    if (whole <= 59)
        return QStringLiteral("%1 s").arg(whole);
    return QStringLiteral("%1:%2 min").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}
