// The season and episode number of one episode.
#pragma once

#include <QHashFunctions>
#include <QString>

#include <compare>

// Season and episode number of one episode, as read from a file name.
struct EpisodeID {
    qint64 season = 0;
    qint64 episode = 0;

    // "S01E02"; more digits where the numbers need them (S01E100).
    QString description() const;

    friend bool operator==(const EpisodeID &, const EpisodeID &) = default;
    // Season first, then episode: the order of the pair table.
    friend auto operator<=>(const EpisodeID &, const EpisodeID &) = default;
};

inline size_t qHash(const EpisodeID &id, size_t seed = 0) noexcept
{
    return qHashMulti(seed, id.season, id.episode);
}
