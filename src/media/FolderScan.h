// The scan of one source folder.
#pragma once

#include "MediaFile.h"

// The Matroska files directly inside `folder`, sorted by name, each with its episode number and
// the external subtitle files of the folder that belong to it. A folder that cannot be read
// gives an empty list.
QList<MediaFile> scanFolder(const QUrl &folder, SourceKind source);

// The media and subtitle files of `folder` whose names are not valid UTF-8: the scan cannot
// name them and leaves them out. Invalid bytes appear as U+FFFD.
QStringList undecodableFileNames(const QUrl &folder);
