#pragma once

#include <QStringList>
#include <QTextStream>

// Shared pieces of the benchmarks that run the real tools.

// True when `program` started, ran to its end and exited with status 0.
bool runsCleanly(const QString &program, const QStringList &arguments);

// A small episode with tiny video and an English and a German audio track. Returns an empty
// text on success, else what went wrong.
QString makeEpisode(const QString &path, double seconds);

// Prints both timings with their per-item figures and the ratio `measured` / `baseline`.
void printComparison(QTextStream &out, qsizetype items, const QString &measuredName,
                     double measuredMs, const QString &baselineName, double baselineMs);
