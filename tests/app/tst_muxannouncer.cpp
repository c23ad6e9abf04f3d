// The announcement of a finished mux run.
#include "MuxAnnouncer.h"

#include <QTest>

using namespace Qt::StringLiterals;

class MuxAnnouncerTest final : public QObject {
    Q_OBJECT

private slots:
    void text_data()
    {
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<int>("created");
        QTest::addColumn<int>("failed");
        QTest::addColumn<QString>("text");
        QTest::newRow("complete with a failure")
            << false << 11 << 1 << u"Muxen abgeschlossen: 11 erstellt, 1 fehlgeschlagen."_s;
        QTest::newRow("complete without failures: none named")
            << false << 12 << 0 << u"Muxen abgeschlossen: 12 erstellt."_s;
        QTest::newRow("cancelled") << true << 3 << 0 << u"Muxen abgebrochen: 3 erstellt."_s;
        QTest::newRow("nothing created")
            << false << 0 << 2 << u"Muxen abgeschlossen: 0 erstellt, 2 fehlgeschlagen."_s;
    }

    void text()
    {
        QFETCH(bool, cancelled);
        QFETCH(int, created);
        QFETCH(int, failed);
        QTEST(muxEndText(cancelled, created, failed), "text");
    }

    // No session bus: the notification goes nowhere, at once and without a failure.
    void withoutABusNothingHappens()
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        sendDesktopNotification(u"Muxen abgeschlossen: 1 erstellt."_s);
    }
};

QTEST_MAIN(MuxAnnouncerTest)
#include "tst_muxannouncer.moc"
