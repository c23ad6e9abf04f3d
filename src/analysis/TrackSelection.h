// Which tracks of a pair's two files go into the output, shared by the mux and the sync check.
#pragma once

#include "media/MediaInspection.h"

#include <QList>

#include <optional>

// The tracks the output takes, in track order: from folder 1 the first video track and all
// audio and subtitles but the German ones, from folder 2 all audio and subtitles but the
// English ones. An untagged track, or one of a third language, belongs to its own folder.
struct TrackSelection {
    std::optional<MediaTrack> video;
    QList<MediaTrack> englishAudio;
    QList<MediaTrack> englishSubtitles;
    QList<MediaTrack> germanAudio;
    QList<MediaTrack> germanSubtitles;
};

TrackSelection selectTracks(const MediaInspection &primary, const MediaInspection &localized);

QList<MediaTrack> englishAudioTracks(const MediaInspection &primary);
QList<MediaTrack> germanAudioTracks(const MediaInspection &localized);

// The position of `track` among the audio tracks of `inspection` (0 for the first); absent
// when the inspection does not list it.
std::optional<int> audioIndexOf(const MediaTrack &track, const MediaInspection &inspection);

// The two tracks the sync check compares, as positions among their files' audio tracks: the
// first English audio track of folder 1 and the first German one of folder 2, which the output
// also marks as default.
struct ComparedAudio {
    std::optional<int> englishIndex;
    std::optional<int> germanIndex;
};

ComparedAudio comparedAudioTracks(const MediaInspection &primary,
                                  const MediaInspection &localized);
