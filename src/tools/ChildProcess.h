// Runs a tool as a child process and tells in one text how it failed.
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
    QString program;           // the tool's file name, for the user's text
    ChildOutput output = ChildOutput::separate;
    int timeLimitMilliseconds = 0;
    bool started = false;
    // Ended because the stop flag was set, or killed by a stop signal (Ctrl+C to the process
    // group) while the program itself was being stopped by one.
    bool stopped = false;
    bool timedOut = false;     // ended because it ran past the time limit
    std::optional<int> signal; // the signal that ended it
    int exitCode = -1;         // when it exited by itself
    QString errorString;       // the platform's text when it did not start
    QByteArray standardOutput; // all of it, standard error included when merged
    QByteArray standardError;  // with ChildOutput::separate only

    // Ran to its end by itself and exited with status 0.
    bool succeeded() const { return started && !stopped && !timedOut && !signal && exitCode == 0; }

    // What the user reads about a tool that did not succeed, alike for every tool: why it
    // ended, with the tool's own messages (standard error, or the merged output) as it wrote
    // them, except that mkvmerge's progress lines are dropped and its "Error:"/"Fehler:" lines
    // come first.
    QString exitMessage() const;
};

// Runs the request's program directly (no shell) with standard input at the null device and
// waits for it. A set stop flag or a passed time limit terminates it, and kills it when it
// ignores that for a few seconds. When the user's locale cannot be loaded, the tools run in
// C.UTF-8, since mkvmerge aborts in a locale it cannot load. On Linux the child is killed
// when the calling thread (and so the program) ends, even by SIGKILL.
ChildOutcome runChild(const ChildRequest &request);

// A tool's messages as exitMessage() gives them: without mkvmerge's progress lines ("Progress:
// 40%", carriage-return updates) and blank lines, its "Error:"/"Fehler:" lines first.
QString readableToolMessages(const QByteArray &output);

// The path handed to a tool for `file`: always absolute, so a name that begins with "-"
// cannot be read as an option.
QString toolFileArgument(const QUrl &file);
