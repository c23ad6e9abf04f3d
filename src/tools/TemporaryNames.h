// Names for the program's hidden temporary files, and the removal of those a dead run left.
#pragma once

#include <QString>

#include <optional>

// A hidden name, unique, marked with this process's id and start time so that a later run
// can tell whether its owner still runs: ".spurenflechter-<pid>-<start>-<uuid><suffix>".
// `suffix` may end in "XXXXXX" for QTemporaryFile and QTemporaryDir.
QString hiddenTemporaryName(const QString &suffix);

struct LeftoverRemoval {
    int files = 0; // files removed, those inside removed folders included
    qint64 bytes = 0;
};

// Removes the entries of `folder` that carry our mark and whose owner no longer runs (no
// process with its id, or one started at another time). Files of a running instance and
// anything without the exact mark stay; without /proc nothing is removed.
LeftoverRemoval removeLeftovers(const QString &folder);

// The user's note on a removal, absent when nothing was removed. `where` begins the sentence
// ("Im Ausgabeordner").
std::optional<QString> leftoverNote(const LeftoverRemoval &removal, const QString &where);
