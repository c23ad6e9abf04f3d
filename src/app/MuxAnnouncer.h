// Announces the end of a mux run on the desktop while the window is in the background.
#pragma once

#include <QObject>
#include <QUuid>

#include <functional>

class AppModel;
class QWidget;

// "Muxen abgeschlossen: 11 erstellt, 1 fehlgeschlagen." or, for a run that was stopped,
// "Muxen abgebrochen: 3 erstellt."; the failures only when there are any.
QString muxEndText(bool cancelled, qsizetype created, qsizetype failed);

// Shows `text` as a desktop notification of the program through the notification service of
// the session bus. Returns at once and awaits no reply: without a bus or a service nothing
// happens.
void sendDesktopNotification(const QString &text);

// Counts the pairs of each mux run that were created and those that failed, from the issues
// the run adds, and when the run ends while `window` is not the active window, sends the
// count as a notification.
class MuxAnnouncer final : public QObject {
    Q_OBJECT

public:
    using Sender = std::function<void(const QString &text)>;

    MuxAnnouncer(const AppModel &model, const QWidget &window, QObject *parent = nullptr);

    // Where the announcement goes: `sendDesktopNotification`, or a stand-in in tests.
    void setSender(Sender sender) { m_send = std::move(sender); }

    qsizetype createdCount() const { return m_created; }
    qsizetype failedCount() const { return m_failed; }

private:
    void follow();
    void countNewIssues();
    void announce();

    const AppModel &m_model;
    const QWidget &m_window;
    Sender m_send = sendDesktopNotification;
    qsizetype m_created = 0;
    qsizetype m_failed = 0;
    qsizetype m_seen = 0; // issues already looked at
    QUuid m_lastSeen;     // the id of the last of them, to tell an append from a new list
};
