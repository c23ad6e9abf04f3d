// The output names of embedded tracks.
#include "TrackNaming.h"

#include "subtitles/SubtitleRules.h"

QString baseTrackName(const QString &base, bool forced)
{
    return forced ? base + QStringLiteral(" – Erzwungen") : base;
}

QString trackDisplayName(const QString &base, const MediaTrack &track, bool forced)
{
    const QString name = track.name.value_or(QString()).trimmed();
    if (name.isEmpty())
        return baseTrackName(base, forced);
    // A track named "Forced Narrative" is forced whatever its flags say; its own words would
    // only repeat that.
    if (forced || containsForcedMarker(name))
        return baseTrackName(base, true);
    if (name.compare(base, Qt::CaseInsensitive) == 0)
        return base;
    return base + QStringLiteral(" – ") + name;
}
