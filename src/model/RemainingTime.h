#pragma once

#include <QString>

// A remaining time as the user reads it: "42 s" up to 59 seconds, "62:05 min" beyond, with no
// hour field. Empty below one second or when the value is not finite: nothing is shown then.
QString formatRemainingTime(double seconds);
