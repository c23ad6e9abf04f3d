// Running a tool as a child process, and the one text for its failure.
#include "ChildProcess.h"

#include "TerminationRequest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <clocale>
#include <csignal>
#include <unistd.h>
#if defined(Q_OS_LINUX)
#include <sys/prctl.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

// How often a running child is checked for the stop flag and the time limit: a stop takes
// effect within this time even when the child prints nothing.
constexpr int pollMilliseconds = 20;
// A child that ignores SIGTERM this long is killed.
constexpr int terminateGraceMilliseconds = 5000;
// A stop signal sent to the whole process group can reach the child before our own handler
// has run; this long the runner waits for the handler before calling the child failed.
constexpr int stopSignalGraceMilliseconds = 300;

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
// The child dies with the thread that started it, which waits for it: a program killed
// outright leaves no tool running on.
void prepareChild([[maybe_unused]] pid_t parent)
{
#if defined(Q_OS_LINUX)
    ::close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) // the program died before the line above
        ::_exit(127);
#endif
}

bool isStopSignal(int signalNumber)
{
    return signalNumber == SIGINT || signalNumber == SIGTERM || signalNumber == SIGHUP ||
           signalNumber == SIGQUIT;
}

// Whether the program is being stopped, waiting briefly for a signal handler still to run.
bool stopComingFor(const ChildRequest &request)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (terminationRequested.load() || (request.stop && request.stop->load()))
            return true;
        if (waited.hasExpired(stopSignalGraceMilliseconds))
            return false;
        QThread::msleep(10);
    }
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
    process.setChildProcessModifier([parent = ::getpid()] { prepareChild(parent); });
    QElapsedTimer clock;
    clock.start();
    process.start();

    ChildOutcome outcome;
    outcome.program = QFileInfo(request.program).fileName();
    outcome.output = request.output;
    outcome.timeLimitMilliseconds = request.timeLimitMilliseconds;
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
    if (process.exitStatus() == QProcess::CrashExit) {
        outcome.signal = process.exitCode();
        if (!outcome.stopped && !outcome.timedOut && isStopSignal(*outcome.signal))
            outcome.stopped = stopComingFor(request);
    } else
        outcome.exitCode = process.exitCode();
    return outcome;
}

QString readableToolMessages(const QByteArray &output)
{
    static const QRegularExpression lineBreak(u"[\r\n]"_s);
    static const QRegularExpression progress(uR"(^\s*(Progress|Fortschritt): \d+%\s*$)"_s);
    QStringList errors;
    QStringList rest;
    for (const QString &line : QString::fromUtf8(output).split(lineBreak)) {
        if (line.trimmed().isEmpty() || progress.match(line).hasMatch())
            continue;
        const QString trimmed = line.trimmed();
        (trimmed.startsWith(u"Error:") || trimmed.startsWith(u"Fehler:") ? errors : rest) << line;
    }
    return (errors + rest).join(u'\n').trimmed();
}

QString ChildOutcome::exitMessage() const
{
    if (!started)
        return u"%1 ließ sich nicht starten: %2"_s.arg(program, errorString);
    if (stopped)
        return u"%1 wurde abgebrochen."_s.arg(program);
    if (timedOut)
        return u"%1 lief länger als die erlaubten %2 s und wurde beendet."_s.arg(program).arg(
            (timeLimitMilliseconds + 999) / 1000);
    const QString text =
        readableToolMessages(output == ChildOutput::merged ? standardOutput : standardError);
    if (signal) {
        const QString note = u"%1 wurde durch Signal %2 beendet"_s.arg(program).arg(*signal);
        return text.isEmpty() ? note : text + u" ("_s + note + u')';
    }
    return text.isEmpty() ? u"%1 endete mit Status %2."_s.arg(program).arg(exitCode) : text;
}

QString toolFileArgument(const QUrl &file)
{
    const QString path = file.toLocalFile();
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return QDir::current().absoluteFilePath(path);
}
