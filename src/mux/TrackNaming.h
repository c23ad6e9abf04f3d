// The names the embedded tracks get in the output file.
#pragma once

#include "media/MediaTrack.h"

// The name an embedded track gets in the output: `base` ("English", "Deutsch"), followed by
// the track's own name where it adds something, or by " – Erzwungen" for a forced track.
QString trackDisplayName(const QString &base, const MediaTrack &track, bool forced);

// "English – Erzwungen" for a forced track, else `base`.
QString baseTrackName(const QString &base, bool forced);
