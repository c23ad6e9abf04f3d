// Numbers the tools write as text.
#pragma once

#include <QString>

#include <optional>

// Each reader accepts the whole text or nothing: no surrounding whitespace, no infinity, NaN or
// hexadecimal forms.

// A decimal floating-point number such as "12", "-0.5", ".5" or "1e3".
std::optional<double> parseDecimalText(const QString &text);

// An optional sign followed by ASCII digits, within the range of qint64.
std::optional<qint64> parseIntegerText(const QString &text);

// "hh:mm:ss.fraction" as Matroska duration tags carry it, in seconds. The text is split at
// every colon; empty pieces and pieces that are no number are left out, and exactly three
// numbers must remain.
std::optional<double> parseClockDuration(const QString &text);
