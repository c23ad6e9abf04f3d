// Stop signals turned into a Qt signal.
#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM, SIGHUP and SIGQUIT into a Qt signal on the main thread, so that the
// front end can stop its tools and clean up instead of dying with them still running. Every
// further signal is delivered too; the handler stays installed. SIGPIPE is ignored. The
// handler also sets terminationRequested, so that a tool the same signal killed counts as
// stopped.
class TerminationSignals final : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};
