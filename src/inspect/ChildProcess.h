#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>

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

// Set by an owner that goes away while a child runs: the child is killed rather than waited for.
using AbandonFlag = std::atomic<bool>;

// Runs `program` with `arguments` directly (no shell), with standard input at the null
// device, and waits for it without a time limit unless `abandon` is set.
ChildOutcome runChild(const QString &program, const QStringList &arguments,
                      StandardError standardError = StandardError::capture,
                      const AbandonFlag *abandon = nullptr);

// Runs an inspection tool and returns its standard output when it exits with status 0.
// Throws PlatformError when it does not start, MKVInspectorError::failed with its standard
// error otherwise.
QByteArray runTool(const QString &program, const QStringList &arguments,
                   const AbandonFlag *abandon = nullptr);

// The path handed to a tool for `file`: always absolute, so a name that begins with "-"
// cannot be read as an option.
QString toolFileArgument(const QUrl &file);
