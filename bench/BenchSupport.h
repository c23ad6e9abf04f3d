#pragma once

#include <QElapsedTimer>
#include <QStringList>
#include <QTextStream>

#include <limits>
#include <optional>

// Shared pieces of the benchmarks that run the real tools.

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
