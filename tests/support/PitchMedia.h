// Generated PAL releases whose dub was sped up at the film's pitch, for the pitch comparison.
#pragma once

#include "SyncMedia.h"

// The two ways a PAL dub reaches 25 frames per second.
enum class PalKind {
    raised,   // resampled: faster and higher
    tempoOnly // quickened by ffmpeg's `tempoFilter`, pitch kept
};

// `soundtrack` as a PAL release of `kind`, `lateSeconds` late in film time and `fileSeconds`
// long, encoded with `encoding` as in writeRelease. `tempoFilter` is "atempo" or "rubberband".
// Returns an empty text on success, else what went wrong.
QString writePalRelease(const QString &path, const std::vector<float> &soundtrack, PalKind kind,
                        double lateSeconds, double fileSeconds,
                        const QStringList &encoding = {QStringLiteral("-c:a"),
                                                       QStringLiteral("flac")},
                        const QString &tempoFilter = QStringLiteral("atempo"));
