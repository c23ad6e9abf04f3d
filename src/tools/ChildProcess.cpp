#include "ChildProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <clocale>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// How often a running child is checked for the stop flag and the time limit: a stop takes
// effect within this time even when the child prints nothing.
constexpr int pollMilliseconds = 20;
// A child that ignores SIGTERM this long is killed.
constexpr int terminateGraceMilliseconds = 5000;

// mkvmerge aborts at start when its environment names a locale the system lacks (common in
// containers and over ssh). The tools then run in C.UTF-8; otherwise their environment stays
// as it is, so a German system keeps German tool messages. Decided once, at the first run.
const std::optional<QProcessEnvironment> &toolEnvironment()
{
    static const std::optional<QProcessEnvironment> environment =
        []() -> std::optional<QProcessEnvironment> {
        // The check setlocale(LC_ALL, "") makes, without changing this process's locale, which
        // other threads may be using.
        if (const locale_t userLocale = ::newlocale(LC_ALL_MASK, "", locale_t(nullptr))) {
            ::freelocale(userLocale);
            return std::nullopt;
        }
        QProcessEnvironment fallback = QProcessEnvironment::systemEnvironment();
        fallback.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
        return fallback;
    }();
    return environment;
}

// Runs in the child between fork and exec. QProcess opens its own descriptors with
// O_CLOEXEC, and so must our code (QFile does); this also keeps out what a library opened
// without it. Marking rather than closing leaves QProcess's report of a failed exec intact.
void keepDescriptorsFromTheTool()
{
#if defined(Q_OS_LINUX)
    ::close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC);
#endif
}

void routeOutput(QProcess &process, ChildOutput output)
{
    switch (output) {
    case ChildOutput::separate:
        process.setProcessChannelMode(QProcess::SeparateChannels);
        break;
    case ChildOutput::merged:
        process.setProcessChannelMode(QProcess::MergedChannels);
        break;
    case ChildOutput::standardOutputOnly:
        process.setStandardErrorFile(QProcess::nullDevice());
        break;
    case ChildOutput::standardErrorForwarded:
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        break;
    }
}

void takeOutput(QProcess &process, const ChildRequest &request, ChildOutcome &outcome)
{
    const QByteArray chunk = process.readAllStandardOutput();
    if (chunk.isEmpty())
        return;
    outcome.standardOutput += chunk;
    if (request.onOutput)
        request.onOutput(chunk);
}

} // namespace

ChildOutcome runChild(const ChildRequest &request)
{
    QProcess process;
    process.setProgram(request.program);
    process.setArguments(request.arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    routeOutput(process, request.output);
    if (const std::optional<QProcessEnvironment> &environment = toolEnvironment())
        process.setProcessEnvironment(*environment);
    process.setChildProcessModifier(keepDescriptorsFromTheTool);
    QElapsedTimer clock;
    clock.start();
    process.start();

    ChildOutcome outcome;
    if (!process.waitForStarted(-1)) {
        outcome.errorString = process.errorString();
        return outcome;
    }
    outcome.started = true;

    QElapsedTimer terminating;
    // Each wait reads both pipes into QProcess's buffers.
    while (process.state() != QProcess::NotRunning) {
        process.waitForFinished(pollMilliseconds);
        takeOutput(process, request, outcome);
        if (terminating.isValid()) {
            if (terminating.hasExpired(terminateGraceMilliseconds))
                process.kill();
            continue;
        }
        outcome.stopped = request.stop && request.stop->load();
        outcome.timedOut =
            request.timeLimitMilliseconds > 0 && clock.hasExpired(request.timeLimitMilliseconds);
        if (outcome.stopped || outcome.timedOut) {
            process.terminate();
            terminating.start();
        }
    }
    takeOutput(process, request, outcome);
    if (request.output == ChildOutput::separate)
        outcome.standardError = process.readAllStandardError();
    // For a child that a signal ended, QProcess gives the signal number as the exit code.
    if (process.exitStatus() == QProcess::CrashExit)
        outcome.signal = process.exitCode();
    else
        outcome.exitCode = process.exitCode();
    return outcome;
}

QString withEndingSignal(const QString &text, const ChildRequest &request,
                         const ChildOutcome &outcome)
{
    if (!outcome.signal)
        return text;
    const QString note = u"%1 wurde durch Signal %2 beendet"_s.arg(
        QFileInfo(request.program).fileName(), QString::number(*outcome.signal));
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() ? note : trimmed + u" ("_s + note + u')';
}

QString toolFileArgument(const QUrl &file)
{
    const QString path = file.toLocalFile();
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return QDir::current().absoluteFilePath(path);
}
