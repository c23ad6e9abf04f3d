// Typed reads of the JSON the tools write.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// Typed reads of one JSON field. A field of the wrong type counts as absent.
std::optional<QString> jsonText(const QJsonValue &value);
std::optional<double> jsonNumber(const QJsonValue &value);
// A number with an integral value within the range of qint64.
std::optional<qint64> jsonInteger(const QJsonValue &value);
std::optional<bool> jsonBoolean(const QJsonValue &value);

// Parses a tool's standard output: an object whose `arrayKey` holds an array of objects.
// Throws PlatformError with the parser's text when the output is no JSON, and
// MKVInspectorError::invalidOutput when it has another shape.
QJsonObject parseToolJson(const QByteArray &output, const QString &arrayKey);
