// The errors a track inspection ends with.
#pragma once

#include "tools/UserFacingError.h"

// Failures of a track inspection.
class MKVInspectorError : public UserFacingError {
public:
    enum class Kind { failed, toolNotFound, invalidOutput };

    static MKVInspectorError failed(QString standardError)
    {
        return {Kind::failed, std::move(standardError)};
    }
    static MKVInspectorError toolNotFound() { return {Kind::toolNotFound, {}}; }
    static MKVInspectorError invalidOutput() { return {Kind::invalidOutput, {}}; }

    Kind kind() const { return m_kind; }
    // For `failed`: the tool's complete standard error, untrimmed.
    const QString &message() const { return m_message; }

    QString errorDescription() const override;

private:
    MKVInspectorError(Kind kind, QString message) : m_kind(kind), m_message(std::move(message)) {}

    Kind m_kind;
    QString m_message;
};
