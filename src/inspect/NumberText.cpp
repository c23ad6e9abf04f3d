// Strict reads of numbers, integers and clock durations from the tools' text.
#include "NumberText.h"

#include <QRegularExpression>

#include <cmath>

std::optional<double> parseDecimalText(const QString &text)
{
    // QString::toDouble alone would also take "inf", "nan" and surrounding whitespace.
    static const QRegularExpression decimal(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint64> parseIntegerText(const QString &text)
{
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    if (!integer.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok); // ok is false beyond the qint64 range
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<double> parseClockDuration(const QString &text)
{
    QList<double> numbers;
    for (const QString &piece : text.split(u':', Qt::SkipEmptyParts)) {
        if (const auto number = parseDecimalText(piece))
            numbers.append(*number);
    }
    if (numbers.size() != 3)
        return std::nullopt;
    const double seconds = numbers[0] * 3600 + numbers[1] * 60 + numbers[2];
    if (!std::isfinite(seconds))
        return std::nullopt;
    return seconds;
}
