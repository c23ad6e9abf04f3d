// Fingerprints that tell whether a file changed since it was looked at.
#pragma once

#include "EpisodePair.h"

#include <QHash>
#include <QUrl>

#include <optional>

// What identifies one version of a file: a file replaced, rewritten, truncated or swapped for
// a pipe gets a different fingerprint.
struct FileFingerprint {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNanoseconds = 0;

    // The fingerprint of the regular file at `file` (links followed), or none when there is
    // no regular file there.
    static std::optional<FileFingerprint> of(const QUrl &file);

    friend bool operator==(const FileFingerprint &, const FileFingerprint &) = default;
};

// Keyed by the file's URL.
using SourceFingerprints = QHash<QUrl, FileFingerprint>;

// The files a mux of `pair` reads: both sources and every subtitle file beside them.
QList<QUrl> sourceFilesOf(const EpisodePair &pair);

// Adds the fingerprint of each file of `pairs` that is a regular file now.
void recordFingerprints(const QList<EpisodePair> &pairs, SourceFingerprints &fingerprints);

// The first of `files` whose fingerprint differs from the one in `seen`, or that `seen` lacks.
std::optional<QUrl> firstChangedFile(const QList<QUrl> &files, const SourceFingerprints &seen);
