#pragma once

#include <QStringList>
#include <QTextStream>

#include <optional>

// Shared pieces of the benchmarks that run the real tools.

// The time `mkvmerge -J` takes on each of `files` in turn: the baseline the benchmarks compare
// against. Absent when a run fails.
std::optional<double> identifyMilliseconds(const QStringList &files);

// A small episode with tiny video and an English and a German audio track. Returns an empty
// text on success, else what went wrong.
QString makeEpisode(const QString &path, double seconds);

// Prints both timings with their per-item figures and the ratio `measured` / `baseline`.
void printComparison(QTextStream &out, qsizetype items, const QString &measuredName,
                     double measuredMs, const QString &baselineName, double baselineMs);
