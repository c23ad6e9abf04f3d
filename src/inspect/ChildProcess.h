#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// How a child process ended. Both output pipes are read while the child runs, so a child
// that writes a lot to either cannot stall on a full pipe.
struct ChildOutcome {
    bool started = false;
    bool crashed = false; // ended by a signal
    int exitCode = -1;
    QString errorString; // QProcess's text for a start failure or a crash
    QByteArray standardOutput;
    QByteArray standardError; // empty when the child's standard error was forwarded
};

enum class StandardError { capture, forward };

// Runs `program` with `arguments` directly (no shell), with standard input at the null
// device, and waits for it without a time limit.
ChildOutcome runChild(const QString &program, const QStringList &arguments,
                      StandardError standardError = StandardError::capture);

// Runs an inspection tool and returns its standard output when it exits with status 0.
// Throws PlatformError when it does not start, MKVInspectorError::failed with its standard
// error otherwise.
QByteArray runTool(const QString &program, const QStringList &arguments);
