// One Matroska file of a source folder, with its external subtitle files.
#pragma once

#include "EpisodeID.h"
#include "MediaEnums.h"

#include <QList>
#include <QUrl>

#include <optional>

// One Matroska file found in a source folder, with the external subtitle files beside it
// that belong to it.
struct MediaFile {
    QUrl url; // absolute file URL; also the file's identity
    SourceKind source = SourceKind::primary;
    std::optional<EpisodeID> episodeID;
    QList<QUrl> sidecarSubtitles; // sorted by file name

    const QUrl &id() const { return url; }

    friend bool operator==(const MediaFile &, const MediaFile &) = default;
};

size_t qHash(const MediaFile &file, size_t seed = 0) noexcept;

// The last path component of a file URL: the name shown to the user.
QString fileNameOf(const QUrl &url);
// A name's extension is what follows its last period; a name without a period has none.
QString pathExtension(const QString &name);
QString nameWithoutExtension(const QString &name);
