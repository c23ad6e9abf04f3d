// The remaining time of a mux run: its estimate and its text.
#pragma once

#include <QString>

#include <optional>

// The seconds still needed when `fraction` of the work took `elapsedSeconds`, assuming the
// rest goes at the same average speed. Absent unless 0 < fraction < 1.
std::optional<double> linearRemainingSeconds(double fraction, double elapsedSeconds);

// The remaining time of a mux run as the window and the command line show it: "42 s" up to
// 59 seconds, then minutes and seconds such as "62:05 min" (no hour field). Seconds are
// rounded to the nearest whole second, halves away from zero. Returns an empty text for less
// than one second and for values that are not finite: such a time is not shown at all.
QString formatRemainingTime(double seconds);
