// The enumerations that travel with the media records.
#pragma once

#include <QString>

#include <array>
#include <optional>

// Each case has a fixed raw value; conversion from a raw value accepts exactly those values.

enum class SourceKind { primary, localized };
enum class PairStatus { ready, missingPrimary, missingLocalized, ambiguous };
enum class TrackType { video, audio, subtitles, buttons, unknown };
enum class AnalysisIssueSeverity { information = 0, warning = 1, error = 2 };

QString rawValue(SourceKind kind);
QString rawValue(PairStatus status);
QString rawValue(TrackType type);
int rawValue(AnalysisIssueSeverity severity);

std::optional<SourceKind> sourceKindFromRawValue(const QString &raw);
std::optional<PairStatus> pairStatusFromRawValue(const QString &raw);
std::optional<TrackType> trackTypeFromRawValue(const QString &raw);
std::optional<AnalysisIssueSeverity> severityFromRawValue(int raw);
