#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <functional>
#include <optional>

// Set by whoever no longer wants a running child (a user's cancel, an owner going away): the
// child is stopped instead of waited for.
using StopFlag = std::atomic<bool>;

// Where a child's standard output and standard error go.
enum class ChildOutput {
    separate,               // each captured on its own
    merged,                 // captured together, in the order written, as standard output
    standardOutputOnly,     // standard error goes to the null device
    standardErrorForwarded, // standard error goes to ours
};

struct ChildRequest {
    QString program;
    QStringList arguments;
    ChildOutput output = ChildOutput::separate;
    const StopFlag *stop = nullptr;
    int timeLimitMilliseconds = 0; // 0: none
    // Called on the running thread with each piece of standard output as it arrives.
    std::function<void(const QByteArray &)> onOutput;
};

// How a child ended. Its output pipes are read while it runs, so a child that writes a lot
// to either cannot stall on a full pipe.
struct ChildOutcome {
    bool started = false;
    bool stopped = false;      // ended because the stop flag was set
    bool timedOut = false;     // ended because it ran past the time limit
    std::optional<int> signal; // the signal that ended it
    int exitCode = -1;         // when it exited by itself
    QString errorString;       // the platform's text when it did not start
    QByteArray standardOutput; // all of it, standard error included when merged
    QByteArray standardError;  // with ChildOutput::separate only

    // Ran to its end by itself and exited with status 0.
    bool succeeded() const { return started && !stopped && !timedOut && !signal && exitCode == 0; }
};

// Runs the request's program directly (no shell) with standard input at the null device and
// waits for it. A set stop flag or a passed time limit terminates it, and kills it when it
// ignores that for a few seconds. When the user's locale cannot be loaded, the tools run in
// C.UTF-8, since mkvmerge aborts in a locale it cannot load.
ChildOutcome runChild(const ChildRequest &request);

// What the user reads about a tool that a signal ended: its own `text`, trimmed, then
// " (mkvmerge wurde durch Signal 9 beendet)", or "mkvmerge wurde durch Signal 9 beendet"
// alone when the text is empty. Without a signal, `text` unchanged.
QString withEndingSignal(const QString &text, const ChildRequest &request,
                         const ChildOutcome &outcome);

// The path handed to a tool for `file`: always absolute, so a name that begins with "-"
// cannot be read as an option.
QString toolFileArgument(const QUrl &file);
