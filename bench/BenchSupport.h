// Shared pieces of the benchmarks that run the real tools.
#pragma once

#include "media/EpisodePair.h"
#include "media/MediaInspection.h"
#include "mux/MkvmergeOptionFile.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTextStream>

#include <limits>
#include <memory>
#include <optional>

// The time `mkvmerge -J` takes on each of `files` in turn: the baseline the benchmarks compare
// against. Absent when a run fails.
std::optional<double> identifyMilliseconds(const QStringList &files);

// A small episode with tiny video and an English and a German audio track. Returns an empty
// text on success, else what went wrong.
QString makeEpisode(const QString &path, double seconds);

class AppModel;

// Runs one analysis of the folders `model` is set to, waiting for its end, and returns the
// time it took.
double analysisMilliseconds(AppModel &model);

// Prints both timings with their per-item figures and the ratio `measured` / `baseline`.
void printComparison(QTextStream &out, qsizetype items, const QString &measuredName,
                     double measuredMs, const QString &baselineName, double baselineMs);

// The fastest of `rounds` runs of `work`, in milliseconds.
template <typename Work> double bestMilliseconds(int rounds, Work work)
{
    double best = std::numeric_limits<double>::infinity();
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// Runs `program` with its output thrown away; true when it exits with 0 or 1 (warnings).
bool runQuietly(const QString &program, const QStringList &arguments);

// Removes everything in `folder` and makes it anew.
void emptyFolder(const QString &folder);

// A 23.976 fps episode for folder 1 and its 25 fps PAL counterpart for folder 2, with video of
// `size` in folder 1 and 720x576 in folder 2.
bool makePalPair(const QString &primary, const QString &localized, double seconds,
                 const QString &size);

// A ready pair with both files inspected, as the analysis leaves it.
struct Episode {
    EpisodePair pair;
    MediaInspection primary, localized;
};
Episode episodeOf(const QString &primary, const QString &localized);

// `pairs` episodes S01E01, S01E02, … in both folders, linked to `primary` and `localized`.
// Appends the linked files to `files`, folder 1's before folder 2's of each episode.
QList<Episode> linkSeason(const QString &primary, const QString &localized,
                          const QString &primaryFolder, const QString &localizedFolder, int pairs,
                          QStringList &files);

// The mkvmerge command the plan gives, ready to run on its own into `output`.
struct AloneCommand {
    QString mkvmerge;
    std::unique_ptr<MkvmergeOptionFile> options = std::make_unique<MkvmergeOptionFile>();
    QString temporary;

    bool run() const; // removes what it wrote
};
AloneCommand aloneCommand(const Episode &episode, const QString &output);
