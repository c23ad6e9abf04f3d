// The folder checks: a folder given twice, as both sources or as output and source.
#pragma once

#include "media/EpisodePair.h"

#include <QString>
#include <QUrl>

#include <optional>

// Folders given twice, compared after resolving links and by device and inode (a bind mount
// shows one folder under another path). Each result is the German reason, naming the folder;
// absent when the folders differ.

// Folder 1 and folder 2 are one folder: every file would be paired with itself.
std::optional<QString> sameSourceFolders(const QUrl &primary, const QUrl &localized);

// The output folder is one of `sources`: the results would land among the sources, or
// collide with them.
std::optional<QString> outputAmongSources(const QUrl &output, const QList<QUrl> &sources);

// The folders that hold the files of `pairs`.
QList<QUrl> foldersOf(const QList<EpisodePair> &pairs);
