// The window's runs: a pair whose file cannot be read, and pairs muxed at once.
#include "ActionRow.h"
#include "Appearance.h"
#include "ContentView.h"
#include "model/AppModel.h"
#include "MuxAnnouncer.h"
#include "OptionsRow.h"
#include "support/ModelRuns.h"
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

    // A model on "<folders> 1" and "<folders> 2" that muxes into "Zwei Ausgabe".
    std::unique_ptr<AppModel> modelOn(const QString &folders)
    {
        auto model =
            modelFor(m_media.filePath(folders + u" 1"_s), m_media.filePath(folders + u" 2"_s));
        model->setOutputFolder(QUrl::fromLocalFile(m_media.filePath(u"Zwei Ausgabe"_s)));
        return model;
    }

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
    void unreadablePairAlone()
    {
        const auto model = modelOn(u"Defekt"_s);
        ContentView view(*model);
        QVERIFY(runAnalysis(*model));
        QCOMPARE(column(view.pairTable(), 4), QStringList{u"Datei nicht lesbar"_s});
        QVERIFY(!view.actionRow()->muxButton()->isEnabled());
    }

    // Beside two good pairs the unreadable one is marked as a failure. Two pairs at once as the
    // box says; the unreadable pair fails in the run as any other failure does, and the end is
    // announced only while the window is in the background.
    void parallelRun()
    {
        const auto model = modelOn(u"Zwei"_s);
        ContentView view(*model);
        QVERIFY(runAnalysis(*model));
        const QTableView *table = view.pairTable();
        QCOMPARE(column(table, 4), (QStringList{u"Bereit"_s, u"Bereit"_s, u"Datei nicht lesbar"_s}));
        QCOMPARE(table->model()->index(2, 4).data(Qt::ForegroundRole).value<QColor>(),
                 failureColor());

        QStringList announced;
        view.muxAnnouncer()->setSender([&](const QString &text) { announced << text; });
        QSpinBox *jobs = view.optionsRow()->jobsBox();
        jobs->setValue(2);
        QCOMPARE(model->muxJobs(), 2);
        QStringList progress;
        connect(model.get(), &AppModel::muxProgressChanged, this,
                [&] { progress << model->muxProgress(); });
        QSignalSpy muxed(model.get(), &AppModel::muxFinished);
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
