// What the names and track data of subtitles say: language, forced, replaced bitmaps.
#pragma once

#include "media/MediaTrack.h"

#include <QList>
#include <QUrl>

#include <optional>

// "eng" or "deu" when the file name (without its last extension) carries a language word
// such as "en", "english", "de", "ger" or "deutsch"; English wins when both appear.
std::optional<QString> sidecarLanguage(const QUrl &sidecar);

// True when `text` contains "forced" or "erzwungen", ignoring case.
bool containsForcedMarker(const QString &text);

// A file name (extension included) that marks a forced subtitle file.
bool isForcedFileName(const QString &name);

// A forced (partial) track: flagged, named so, or with few entries next to a full track of
// `list`, the list the track stands in.
bool isForcedSubtitle(const MediaTrack &track, const QList<MediaTrack> &list);

// The embedded German bitmap tracks that an external full text subtitle replaces, in track
// order; empty when `candidates` hold no such text file. Forced tracks always stay.
QList<MediaTrack> selectReplacedBitmapSubtitles(const QList<MediaTrack> &germanSubtitles,
                                                const QList<QUrl> &candidates);
