// Whether the analysis could read the files of a ready pair, and the status text that says so.
#pragma once

#include "EpisodePair.h"
#include "MediaInspection.h"

#include <QHash>

// True for a ready pair one of whose files has no inspection. Once the analysis has inspected
// every file, that file could not be read and the pair's mux will fail. Only a ready pair is
// judged: the others are not muxed anyway.
bool isUnreadable(const EpisodePair &pair, const QHash<QUrl, MediaInspection> &inspections);

// "Datei nicht lesbar": the status of an unreadable pair in both pair tables.
QString unreadableStatusText();

// The pair's status as the pair tables show it. `inspections` only once the analysis has
// inspected every file; without them a pair shows its status alone.
QString pairStatusText(const EpisodePair &pair, const QHash<QUrl, MediaInspection> *inspections);
