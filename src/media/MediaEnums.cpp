// The raw values of the media enumerations and the conversions back.
#include "MediaEnums.h"

namespace {

template <typename Enum, size_t N>
std::optional<Enum> fromRawValue(const std::array<Enum, N> &cases, const QString &raw)
{
    for (Enum candidate : cases) {
        if (rawValue(candidate) == raw)
            return candidate;
    }
    return std::nullopt;
}

} // namespace

QString rawValue(SourceKind kind)
{
    switch (kind) {
    case SourceKind::primary:
        return QStringLiteral("Ordner 1");
    case SourceKind::localized:
        return QStringLiteral("Ordner 2");
    }
    Q_UNREACHABLE();
    return {};
}

QString rawValue(PairStatus status)
{
    switch (status) {
    case PairStatus::ready:
        return QStringLiteral("Bereit");
    case PairStatus::missingPrimary:
        return QStringLiteral("Datei in Ordner 1 fehlt");
    case PairStatus::missingLocalized:
        return QStringLiteral("Datei in Ordner 2 fehlt");
    case PairStatus::ambiguous:
        return QStringLiteral("Zuordnung nicht eindeutig");
    }
    Q_UNREACHABLE();
    return {};
}

QString rawValue(TrackType type)
{
    switch (type) {
    case TrackType::video:
        return QStringLiteral("video");
    case TrackType::audio:
        return QStringLiteral("audio");
    case TrackType::subtitles:
        return QStringLiteral("subtitles");
    case TrackType::buttons:
        return QStringLiteral("buttons");
    case TrackType::unknown:
        return QStringLiteral("unknown");
    }
    Q_UNREACHABLE();
    return {};
}

int rawValue(AnalysisIssueSeverity severity)
{
    return static_cast<int>(severity);
}

std::optional<SourceKind> sourceKindFromRawValue(const QString &raw)
{
    return fromRawValue(std::array{SourceKind::primary, SourceKind::localized}, raw);
}

std::optional<PairStatus> pairStatusFromRawValue(const QString &raw)
{
    return fromRawValue(std::array{PairStatus::ready, PairStatus::missingPrimary,
                                   PairStatus::missingLocalized, PairStatus::ambiguous},
                        raw);
}

std::optional<TrackType> trackTypeFromRawValue(const QString &raw)
{
    return fromRawValue(std::array{TrackType::video, TrackType::audio, TrackType::subtitles,
                                   TrackType::buttons, TrackType::unknown},
                        raw);
}

std::optional<AnalysisIssueSeverity> severityFromRawValue(int raw)
{
    if (raw < 0 || raw > 2)
        return std::nullopt;
    return static_cast<AnalysisIssueSeverity>(raw);
}
