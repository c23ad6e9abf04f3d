// The window's runs: a pair whose file cannot be read, and pairs muxed at once.
#include "ActionRow.h"
#include "Appearance.h"
#include "ContentView.h"
#include "model/AppModel.h"
#include "MuxAnnouncer.h"
#include "OptionsRow.h"
#include "support/TestMedia.h"
#include "TableCells.h"

#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class WindowRunsTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_media;

private slots:
    void initTestCase()
    {
        // Two good pairs and one whose folder-2 file mkvmerge reads as no media at all; and
        // that unreadable pair alone.
        const TestMediaLayout english{.audio = {TestTrack{.language = u"eng"_s}}};
        const TestMediaLayout german{.audio = {TestTrack{.language = u"ger"_s}}};
        for (const QString &folder :
             {u"/Zwei 1"_s, u"/Zwei 2"_s, u"/Zwei Ausgabe"_s, u"/Defekt 1"_s, u"/Defekt 2"_s})
            QVERIFY(QDir().mkpath(m_media.path() + folder));
        for (const QString &name : {u"/S01E01.mkv"_s, u"/S01E02.mkv"_s, u"/S01E03.mkv"_s})
            QCOMPARE(makeTestMatroska(m_media.path() + u"/Zwei 1"_s + name, english), QString());
        for (const QString &name : {u"/S01E01.mkv"_s, u"/S01E02.mkv"_s})
            QCOMPARE(makeTestMatroska(m_media.path() + u"/Zwei 2"_s + name, german), QString());
        QCOMPARE(makeTestMatroska(m_media.filePath(u"Defekt 1/S01E03.mkv"_s), english), QString());
        for (const QString &folder : {u"/Zwei 2"_s, u"/Defekt 2"_s})
            writeTestFile(m_media.path() + folder + u"/S01E03.mkv"_s, "Hallo\n");
    }

    // A ready pair whose file could not be read says so, and cannot be all there is to mux.
    void unreadablePair_data()
    {
        QTest::addColumn<QString>("folders");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<bool>("muxEnabled");
        QTest::newRow("beside two good pairs")
            << u"Zwei"_s << QStringList{u"Bereit"_s, u"Bereit"_s, u"Datei nicht lesbar"_s} << true;
        QTest::newRow("alone") << u"Defekt"_s << QStringList{u"Datei nicht lesbar"_s} << false;
    }

    void unreadablePair()
    {
        QFETCH(QString, folders);
        QFETCH(QStringList, statuses);
        AppModel model;
        ContentView view(model);
        model.setPrimaryFolder(QUrl::fromLocalFile(m_media.filePath(folders + u" 1"_s)));
        model.setLocalizedFolder(QUrl::fromLocalFile(m_media.filePath(folders + u" 2"_s)));
        model.setOutputFolder(QUrl::fromLocalFile(m_media.filePath(u"Zwei Ausgabe"_s)));
        QSignalSpy finished(&model, &AppModel::analysisFinished);
        model.analyze();
        QVERIFY(finished.wait(60000));

        const QTableView *table = view.pairTable();
        QCOMPARE(column(table, 4), statuses);
        const QModelIndex last = table->model()->index(int(statuses.size()) - 1, 4);
        QCOMPARE(last.data(Qt::ForegroundRole).value<QColor>(), failureColor());
        QTEST(view.actionRow()->muxButton()->isEnabled(), "muxEnabled");
    }

    // Two pairs at once as the box says; the unreadable pair fails in the run as any other
    // failure does, and the end is announced only while the window is in the background.
    void parallelRun()
    {
        AppModel model;
        ContentView view(model);
        model.setPrimaryFolder(QUrl::fromLocalFile(m_media.filePath(u"Zwei 1"_s)));
        model.setLocalizedFolder(QUrl::fromLocalFile(m_media.filePath(u"Zwei 2"_s)));
        model.setOutputFolder(QUrl::fromLocalFile(m_media.filePath(u"Zwei Ausgabe"_s)));
        QSignalSpy analysed(&model, &AppModel::analysisFinished);
        model.analyze();
        QVERIFY(analysed.wait(60000));

        QStringList announced;
        view.muxAnnouncer()->setSender([&](const QString &text) { announced << text; });
        QSpinBox *jobs = view.optionsRow()->jobsBox();
        QCOMPARE(jobs->value(), 1);
        jobs->setValue(2);
        QCOMPARE(model.muxJobs(), 2);
        QStringList progress;
        connect(&model, &AppModel::muxProgressChanged, this,
                [&] { progress << model.muxProgress(); });
        QSignalSpy muxed(&model, &AppModel::muxFinished);
        view.actionRow()->muxButton()->click();
        QVERIFY(!jobs->isEnabled());
        QVERIFY(muxed.wait(60000));
        QVERIFY(jobs->isEnabled());
        QCOMPARE(progress.value(0), u"S01E01, S01E02 (2 von 3)"_s);
        QCOMPARE(announced, QStringList{u"Muxen abgeschlossen: 2 erstellt, 1 fehlgeschlagen."_s});

        // In front, the window shows the end itself. (The files exist now: three failures.)
        view.show();
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        view.actionRow()->muxButton()->click();
        QVERIFY(muxed.wait(60000));
        QCOMPARE(announced.size(), 1);
    }
};

QTEST_MAIN(WindowRunsTest)
#include "tst_windowruns.moc"
