// Stop signals turned into a Qt signal, and marked for the tool runner at once.
#include "TerminationSignals.h"

#include "tools/TerminationRequest.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A closed terminal or a dropped session (SIGHUP) ends the run as Ctrl+C and SIGQUIT do.
constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The write end of the pipe and the runner's flag: all the signal handler touches.
int signalPipe[2] = {-1, -1};

void onSignal(int signalNumber)
{
    terminationRequested.store(true);
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (::pipe(signalPipe) != 0)
        return;
    for (const int end : signalPipe) {
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
        ::fcntl(end, F_SETFD, FD_CLOEXEC); // the tools must not inherit it
    }
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char bytes[16];
        for (ssize_t count; (count = ::read(signalPipe[0], bytes, sizeof bytes)) > 0;) {
            for (ssize_t i = 0; i < count; ++i)
                emit received(bytes[i]);
        }
    });

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : stopSignals)
        ::sigaction(signalNumber, &action, nullptr);
    // A reader that has gone (a closed pipe) makes a write fail instead of ending the process
    // before it has cleaned up.
    ::signal(SIGPIPE, SIG_IGN);
}

TerminationSignals::~TerminationSignals()
{
    // Once stopped, the program is on its way out with the first signal's status: a second
    // Ctrl+C during the last clean-up must not end it as killed instead.
    const auto disposition = terminationRequested.load() ? SIG_IGN : SIG_DFL;
    for (const int signalNumber : stopSignals)
        ::signal(signalNumber, disposition);
}
