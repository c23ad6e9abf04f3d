// The errors that end one pair's mux.
#pragma once

#include "tools/UserFacingError.h"

// Failures of muxing one pair.
class MuxError : public UserFacingError {
public:
    enum class Kind {
        outputExists,
        failed,
        mkvmergeNotFound,
        incompletePair,
        inspectionMissing,
        cancelled,
        sourceChanged,
        conversionFailed, // a German audio track could not be brought to film speed
    };

    static MuxError outputExists(QString name) { return {Kind::outputExists, std::move(name)}; }
    static MuxError failed(QString text) { return {Kind::failed, std::move(text)}; }
    static MuxError mkvmergeNotFound() { return {Kind::mkvmergeNotFound, {}}; }
    static MuxError incompletePair() { return {Kind::incompletePair, {}}; }
    static MuxError inspectionMissing() { return {Kind::inspectionMissing, {}}; }
    static MuxError cancelled() { return {Kind::cancelled, {}}; }
    static MuxError sourceChanged(QString name) { return {Kind::sourceChanged, std::move(name)}; }
    static MuxError conversionFailed(QString reason)
    {
        return {Kind::conversionFailed, std::move(reason)};
    }

    Kind kind() const { return m_kind; }
    // The file name of `outputExists` and `sourceChanged`, the reason of `failed` and
    // `conversionFailed`.
    const QString &detail() const { return m_detail; }

    QString errorDescription() const override;

private:
    MuxError(Kind kind, QString detail) : m_kind(kind), m_detail(std::move(detail)) {}

    Kind m_kind;
    QString m_detail;
};
