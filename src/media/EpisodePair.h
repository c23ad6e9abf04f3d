// One row of the pair table: the files of both folders for one episode.
#pragma once

#include "MediaFile.h"

// The files of both folders that belong to one episode: one row of the pair table.
struct EpisodePair {
    QString id; // "single", "S01E02" or "unmatched-<file name>"
    std::optional<EpisodeID> episodeID;
    std::optional<MediaFile> primary;   // from folder 1
    std::optional<MediaFile> localized; // from folder 2
    PairStatus status = PairStatus::ambiguous;

    // Lets an observer tell an unchanged pair list from a new one.
    friend bool operator==(const EpisodePair &, const EpisodePair &) = default;
};
