// mkvmerge's warnings, and which of them mean a missing track.
#pragma once

#include <QByteArray>
#include <QStringList>

// mkvmerge ends with exit status 1 when it wrote its file but warned. Its warnings, in English
// or German, as the lines it wrote.
QStringList mkvmergeWarnings(const QString &output);

// Whether `warning` says that a track the command asked for is not in its file: the output
// would lack a track the plan promised.
bool reportsMissingTrack(const QString &warning);
