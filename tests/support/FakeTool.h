// Shell scripts that stand in for a tool where only a misbehaving one shows the behaviour.
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// Writes an executable script to `path` and returns `path`: `body` run by /bin/sh, unless it
// begins with a "#!" line of its own. Ends the test program when the file cannot be written.
QString writeFakeTool(const QString &path, const QByteArray &body);

// The first lines of a stand-in mkvmerge. An identification goes on to the real mkvmerge; a
// mux finds its option file in "$options" and the temporary output it is to write in
// "$output".
extern const QByteArray fakeMkvmergePrelude;

// A body for a tool that hangs: it writes its process id to "<its path>.pid" and sleeps for
// ten minutes.
extern const QByteArray hangingToolBody;

// The process id that the hanging tool at `path` wrote once it had started; 0 when it did not
// start within a few seconds.
pid_t hangingToolProcess(const QString &path);
