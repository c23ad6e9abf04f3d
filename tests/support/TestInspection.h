// Small views of the program's state that several tests compare.
#pragma once

#include "media/AnalysisIssue.h"

#include <QStringList>

// The command lines of running processes that mention `text`: tools a run left behind.
QStringList processesNaming(const QString &text);

// One "<severity> <message>" line per issue, the severity as its raw number.
QStringList issueTexts(const QList<AnalysisIssue> &issues);

// One line per track of `file` as `mkvmerge -J` reads it back: type, language, name and flags,
// as in "audio ger Deutsch default=yes forced=no".
QStringList trackLayout(const QString &file);

// Every entry of `folder`, hidden ones included, by name: what a run left there.
QStringList folderEntries(const QString &folder);
