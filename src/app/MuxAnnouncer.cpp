// The announcement of a finished mux run, and the notification that carries it.
#include "MuxAnnouncer.h"

#include "model/AppModel.h"
#include "SpurenflechterApp.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QWidget>

QString muxEndText(bool cancelled, qsizetype created, qsizetype failed)
{
    QString text = (cancelled ? QStringLiteral("Muxen abgebrochen: ")
                              : QStringLiteral("Muxen abgeschlossen: ")) +
                   QStringLiteral("%1 erstellt").arg(created);
    if (failed > 0)
        text += QStringLiteral(", %1 fehlgeschlagen").arg(failed);
    return text + u'.';
}

void sendDesktopNotification(const QString &text)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The desktop entry lets the service show the program's name and icon.
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), SpurenflechterApp::desktopId.toString()}};
    notify << SpurenflechterApp::name.toString() << uint(0)
           << SpurenflechterApp::desktopId.toString() << text << QString() << QStringList() << hints
           << int(-1);
    // Sent without waiting: an absent service answers with an error nobody needs to read.
    bus.send(notify);
}

MuxAnnouncer::MuxAnnouncer(const AppModel &model, const QWidget &window, QObject *parent)
    : QObject(parent), m_model(model), m_window(window)
{
    connect(&model, &AppModel::isMuxingChanged, this, &MuxAnnouncer::follow);
    connect(&model, &AppModel::issuesChanged, this, &MuxAnnouncer::countNewIssues);
    connect(&model, &AppModel::muxFinished, this, &MuxAnnouncer::announce);
}

void MuxAnnouncer::follow()
{
    if (!m_model.isMuxing())
        return;
    // A new run: what the list holds now came before it.
    m_created = 0;
    m_failed = 0;
    m_seen = m_model.issues().size();
    m_lastSeen = m_seen > 0 ? m_model.issues().last().id : QUuid();
}

void MuxAnnouncer::countNewIssues()
{
    const QList<AnalysisIssue> &issues = m_model.issues();
    // An analysis started during the run begins a new list.
    if (issues.size() < m_seen || (m_seen > 0 && issues.at(m_seen - 1).id != m_lastSeen))
        m_seen = 0;
    for (; m_seen < issues.size(); ++m_seen) {
        const AnalysisIssue &issue = issues.at(m_seen);
        // What an analysis adds meanwhile is about the analysis. Each pair of the run adds one
        // error when it fails, and ends with the "Erstellt" entry when it succeeds.
        if (!m_model.isMuxing() || m_model.isAnalyzing())
            continue;
        if (issue.severity == AnalysisIssueSeverity::error)
            ++m_failed;
        else if (issue.severity == AnalysisIssueSeverity::information &&
                 issue.message.contains(QStringLiteral(": Erstellt: ")))
            ++m_created;
    }
    m_lastSeen = m_seen > 0 ? issues.at(m_seen - 1).id : QUuid();
}

void MuxAnnouncer::announce()
{
    if (m_window.isActiveWindow())
        return;
    const bool cancelled = m_model.muxProgress() == QStringLiteral("Abgebrochen");
    m_send(muxEndText(cancelled, m_created, m_failed));
}
