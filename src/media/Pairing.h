// Pairing the files of both folders episode by episode.
#pragma once

#include "EpisodePair.h"

#include <QHash>

// Files of one folder grouped by episode number; the files without number form their own group.
struct EpisodeGroups {
    QHash<EpisodeID, QList<MediaFile>> numbered;
    QList<MediaFile> unnumbered;

    static EpisodeGroups of(const QList<MediaFile> &files);
    QList<MediaFile> filesOf(const std::optional<EpisodeID> &key) const;
};

// One row per episode, sorted by episode number, the row of unnumbered files last.
QList<EpisodePair> pairEpisodes(const QList<MediaFile> &primaryFiles,
                                const QList<MediaFile> &localizedFiles);

// The pair of one key (an episode number, or none for the unnumbered files).
EpisodePair makePair(const std::optional<EpisodeID> &key, const EpisodeGroups &primary,
                     const EpisodeGroups &localized);
