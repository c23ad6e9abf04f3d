// Typed reads of JSON fields, and the parse of a tool's JSON output.
#include "JsonFields.h"

#include "MKVInspectorError.h"

#include <QJsonArray>
#include <QJsonDocument>

std::optional<QString> jsonText(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<double> jsonNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    return value.toDouble();
}

std::optional<qint64> jsonInteger(const QJsonValue &value)
{
    // toInteger falls back to its default for fractions and out-of-range values; two
    // different defaults tell such a value from a real 0 or 1.
    const qint64 value0 = value.toInteger(0);
    if (value0 != value.toInteger(1))
        return std::nullopt;
    return value0;
}

std::optional<bool> jsonBoolean(const QJsonValue &value)
{
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

QJsonObject parseToolJson(const QByteArray &output, const QString &arrayKey)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(output, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw PlatformError(parseError.errorString());
    if (!document.isObject())
        throw MKVInspectorError::invalidOutput();

    QJsonObject root = document.object();
    const QJsonValue array = root.value(arrayKey);
    if (!array.isArray())
        throw MKVInspectorError::invalidOutput();
    for (const QJsonValue &element : array.toArray()) {
        if (!element.isObject())
            throw MKVInspectorError::invalidOutput();
    }
    return root;
}
