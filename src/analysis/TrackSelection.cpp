// Which tracks of a pair's two files go into the output.
#include "TrackSelection.h"

#include "LanguageCodes.h"

#include <algorithm>

namespace {

// The tracks of one type, leaving out those tagged with the other side's language.
QList<MediaTrack> tracksOf(const MediaInspection &inspection, TrackType type,
                           LanguageClass otherSide)
{
    QList<MediaTrack> tracks;
    for (const MediaTrack &track : inspection.tracks) {
        if (track.type == type && classifyLanguage(track) != otherSide)
            tracks << track;
    }
    return tracks;
}

} // namespace

TrackSelection selectTracks(const MediaInspection &primary, const MediaInspection &localized)
{
    TrackSelection selection;
    const auto video =
        std::find_if(primary.tracks.cbegin(), primary.tracks.cend(),
                     [](const MediaTrack &track) { return track.type == TrackType::video; });
    if (video != primary.tracks.cend())
        selection.video = *video;
    selection.englishAudio = englishAudioTracks(primary);
    selection.englishSubtitles = tracksOf(primary, TrackType::subtitles, LanguageClass::german);
    selection.germanAudio = germanAudioTracks(localized);
    selection.germanSubtitles = tracksOf(localized, TrackType::subtitles, LanguageClass::english);
    return selection;
}

QList<MediaTrack> englishAudioTracks(const MediaInspection &primary)
{
    return tracksOf(primary, TrackType::audio, LanguageClass::german);
}

QList<MediaTrack> germanAudioTracks(const MediaInspection &localized)
{
    return tracksOf(localized, TrackType::audio, LanguageClass::english);
}

std::optional<int> audioIndexOf(const MediaTrack &track, const MediaInspection &inspection)
{
    int index = 0;
    for (const MediaTrack &other : inspection.tracks) {
        if (other.id == track.id)
            return index;
        if (other.type == TrackType::audio)
            ++index;
    }
    return std::nullopt;
}

ComparedAudio comparedAudioTracks(const MediaInspection &primary, const MediaInspection &localized)
{
    const auto firstIndex = [](const QList<MediaTrack> &tracks, const MediaInspection &inspection) {
        return tracks.isEmpty() ? std::nullopt : audioIndexOf(tracks.first(), inspection);
    };
    return {firstIndex(englishAudioTracks(primary), primary),
            firstIndex(germanAudioTracks(localized), localized)};
}
