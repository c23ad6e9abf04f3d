#include "model/AppModel.h"
#include "model/MuxMessages.h"
#include "mux/RemainingTime.h"
#include "support/FakeTool.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Stands in for mkvmerge: identification goes to the real one; a mux prints "Progress: 50%"
// and then does what `behaviour` says for the pair whose title begins with `pair`.
QString writeFakeMkvmerge(const QString &path, const QString &pair, const QString &behaviour)
{
    return writeFakeTool(path, fakeMkvmergePrelude + "printf 'Progress: 50%%\\r'\n" +
                                   u"if grep -q '\"--title\",\"%1' \"$options\"; then\n%2\nfi\n"_s
                                       .arg(pair, behaviour)
                                       .toUtf8() +
                                   "echo data > \"$output\"");
}

// The values a model property took, in order, as its notifications reported them.
template <typename Value> struct PropertyLog {
    PropertyLog(AppModel &model, void (AppModel::*changed)(), Value (AppModel::*read)() const)
    {
        QObject::connect(&model, changed, &model,
                         [this, &model, read] { values << (model.*read)(); });
    }
    QList<Value> values;
};

} // namespace

class MuxRunTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    int m_runs = 0;

    // A model that has analysed three ready pairs and one without a folder-2 file, with
    // mkvmerge replaced by a script that does `behaviour` for `pair`.
    std::unique_ptr<AppModel> analysedModel(const QString &behaviour,
                                            const QString &pair = u"S01E02"_s)
    {
        const QString run = m_root.filePath(QString::number(++m_runs));
        QDir().mkpath(run + u"/out"_s);
        ToolLocations tools = ToolLocations::platformDefault();
        tools.bundledMkvmerge = writeFakeMkvmerge(run + u"/mkvmerge"_s, pair, behaviour);
        auto model = std::make_unique<AppModel>(tools);
        model->setPrimaryFolder(QUrl::fromLocalFile(m_root.filePath(u"eng"_s)));
        model->setLocalizedFolder(QUrl::fromLocalFile(m_root.filePath(u"deu"_s)));
        model->setOutputFolder(QUrl::fromLocalFile(run + u"/out"_s));
        QSignalSpy analysed(model.get(), &AppModel::analysisFinished);
        model->analyze();
        if (!analysed.wait(60000))
            qFatal("the analysis did not end");
        return model;
    }

    static bool runMux(AppModel &model)
    {
        QSignalSpy finished(&model, &AppModel::muxFinished);
        model.startMux();
        return finished.wait(60000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        for (const QString &name :
             {u"eng/S01E01.mkv"_s, u"eng/S01E02.mkv"_s, u"eng/S01E03.mkv"_s, u"eng/S01E04.mkv"_s,
              u"deu/S01E01.mkv"_s, u"deu/S01E02.mkv"_s, u"deu/S01E03.mkv"_s}) {
            QDir().mkpath(QFileInfo(m_root.filePath(name)).path());
            const QString language = name.startsWith(u"eng") ? u"eng"_s : u"ger"_s;
            QCOMPARE(makeTestMatroska(m_root.filePath(name), {2.0, {{language}}}), QString());
        }
    }

    void everyReadyPairInTurn()
    {
        const auto model = analysedModel(u":"_s);
        PropertyLog progress(*model, &AppModel::muxProgressChanged, &AppModel::muxProgress);
        PropertyLog fraction(*model, &AppModel::muxFractionChanged, &AppModel::muxFraction);
        const qsizetype analysisIssues = model->issues().size();
        QVERIFY(runMux(*model));

        QCOMPARE(progress.values, (QStringList{u"S01E01 (1 von 3)"_s, u"S01E02 (2 von 3)"_s,
                                               u"S01E03 (3 von 3)"_s, u"Abgeschlossen"_s}));
        // Each pair reports 50 % and 100 %; the pair without its folder-2 file is not counted.
        QCOMPARE(fraction.values,
                 (QList<std::optional<double>>{0.0, 0.5 / 3, 1.0 / 3, 1.5 / 3, 2.0 / 3, 2.5 / 3,
                                               1.0, std::nullopt}));
        QCOMPARE(
            issueTexts(model->issues()).mid(analysisIssues),
            (QStringList{u"0 S01E01: Erstellt: S01E01.mkv"_s, u"0 S01E02: Erstellt: S01E02.mkv"_s,
                         u"0 S01E03: Erstellt: S01E03.mkv"_s}));
        QVERIFY(!model->isMuxing() && !model->isCancelling() && !model->muxETA());
    }

    void cancelDuringTheSecondPair()
    {
        const auto model = analysedModel(u"exec sleep 60"_s);
        const qsizetype analysisIssues = model->issues().size();
        PropertyLog progress(*model, &AppModel::muxProgressChanged, &AppModel::muxProgress);
        int cancelRequests = 0;
        connect(model.get(), &AppModel::muxProgressChanged, model.get(), [&] {
            if (model->muxProgress() == u"S01E02 (2 von 3)") {
                model->cancelMux();
                model->cancelMux(); // a second request changes nothing
                ++cancelRequests;
            }
        });
        QVERIFY(runMux(*model));

        QCOMPARE(cancelRequests, 1);
        QCOMPARE(progress.values, (QStringList{u"S01E01 (1 von 3)"_s, u"S01E02 (2 von 3)"_s,
                                               u"Wird abgebrochen …"_s, u"Abgebrochen"_s}));
        QCOMPARE(issueTexts(model->issues()).mid(analysisIssues),
                 (QStringList{u"0 S01E01: Erstellt: S01E01.mkv"_s,
                              u"0 Verarbeitung nach S01E02 abgebrochen."_s}));
        QVERIFY(!model->isMuxing() && !model->isCancelling());
        const QDir output(model->outputFolder()->toLocalFile());
        QCOMPARE(output.entryList(QDir::Files | QDir::Hidden), QStringList{u"S01E01.mkv"_s});
    }

    void outputFolderChangedDuringTheRun_data()
    {
        QTest::addColumn<bool>("cleared");
        QTest::newRow("cleared, as a cancelled folder dialog does") << true;
        QTest::newRow("another folder chosen") << false;
    }

    // The run keeps the folder it started with; the new choice is for the next run.
    void outputFolderChangedDuringTheRun()
    {
        QFETCH(bool, cleared);
        const auto model = analysedModel(u":"_s);
        const QString started = model->outputFolder()->toLocalFile();
        const QString other = m_root.filePath(u"andere-%1"_s.arg(m_runs));
        QVERIFY(QDir().mkpath(other));
        connect(model.get(), &AppModel::muxProgressChanged, model.get(), [&] {
            if (model->muxProgress() == u"S01E01 (1 von 3)")
                model->setOutputFolder(cleared ? std::nullopt
                                               : std::optional(QUrl::fromLocalFile(other)));
        });
        QVERIFY(runMux(*model));
        QCOMPARE(QDir(started).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{u"S01E01.mkv"_s, u"S01E02.mkv"_s, u"S01E03.mkv"_s}));
        QCOMPARE(QDir(other).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // A copy of the same content put in its place is still not the file that was analysed.
    void sourceReplacedAfterTheAnalysis()
    {
        const auto model = analysedModel(u":"_s);
        const QString source = m_root.filePath(u"deu/S01E02.mkv"_s);
        const QString copy = source + u".neu"_s;
        QVERIFY(QFile::copy(source, copy) && QFile::remove(source) && QFile::rename(copy, source));
        const qsizetype analysisIssues = model->issues().size();
        QVERIFY(runMux(*model));
        QCOMPARE(issueTexts(model->issues()).mid(analysisIssues),
                 (QStringList{u"0 S01E01: Erstellt: S01E01.mkv"_s,
                              u"2 S01E02: S01E02.mkv: Die Datei wurde seit der Analyse verändert. "
                              u"Bitte erneut analysieren."_s,
                              u"0 S01E03: Erstellt: S01E03.mkv"_s}));
    }

    // A failed pair never stops the run, and the messages keep the table order even when
    // later pairs end first.
    void failedPairDoesNotStopTheRun_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::addColumn<QString>("failingPair");
        QTest::addColumn<QString>("fakeMux"); // what the fake mkvmerge does for that pair
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("firstStatus");
        QTest::addColumn<QString>("lastStatus"); // before "Abgeschlossen"
        const QString fails = u"echo 'Error: kaputt'; exit 2"_s;
        const auto failed = [](const QString &label) {
            return u"2 %1: Muxen fehlgeschlagen: Progress: 50%\rError: kaputt"_s.arg(label);
        };
        QTest::newRow("one at a time, the second fails")
            << 1 << u"S01E02"_s << fails
            << QStringList{u"0 S01E01: Erstellt: S01E01.mkv"_s, failed(u"S01E02"_s),
                           u"0 S01E03: Erstellt: S01E03.mkv"_s}
            << u"S01E01 (1 von 3)"_s << u"S01E03 (3 von 3)"_s;
        QTest::newRow("three at once, the first fails after the others have ended")
            << 3 << u"S01E01"_s << uR"sh(dir=$(dirname "$output")
until [ -e "$dir/S01E02.mkv" ] && [ -e "$dir/S01E03.mkv" ]; do sleep 0.1; done
)sh"_s + fails
            << QStringList{failed(u"S01E01"_s), u"0 S01E02: Erstellt: S01E02.mkv"_s,
                           u"0 S01E03: Erstellt: S01E03.mkv"_s}
            << u"S01E01, S01E02, S01E03 (3 von 3)"_s << u"S01E01 (3 von 3)"_s;
    }
    void failedPairDoesNotStopTheRun()
    {
        QFETCH(int, jobs);
        QFETCH(QString, failingPair);
        QFETCH(QString, fakeMux);
        QFETCH(QStringList, messages);
        QFETCH(QString, firstStatus);
        QFETCH(QString, lastStatus);
        const auto model = analysedModel(fakeMux, failingPair);
        model->setMuxJobs(jobs);
        PropertyLog progress(*model, &AppModel::muxProgressChanged, &AppModel::muxProgress);
        PropertyLog fraction(*model, &AppModel::muxFractionChanged, &AppModel::muxFraction);
        const qsizetype analysisIssues = model->issues().size();
        QVERIFY(runMux(*model));

        QCOMPARE(issueTexts(model->issues()).mid(analysisIssues), messages);
        QCOMPARE(progress.values.first(), firstStatus);
        QCOMPARE(progress.values.last(2), (QStringList{lastStatus, u"Abgeschlossen"_s}));
        // The mean of the pairs' fractions only rises.
        QCOMPARE(fraction.values.last(2), (QList<std::optional<double>>{1.0, std::nullopt}));
        QVERIFY(std::is_sorted(fraction.values.cbegin(), fraction.values.cend() - 1));
    }

    void requestsThatChangeNothing()
    {
        const auto model = analysedModel(u":"_s);
        QSignalSpy progress(model.get(), &AppModel::muxProgressChanged);
        model->cancelMux(); // idle
        QCOMPARE(progress.size(), 0);
        QVERIFY(!model->isCancelling());

        const std::optional<QUrl> output = model->outputFolder();
        model->setOutputFolder(std::nullopt);
        model->startMux();
        QVERIFY(!model->isMuxing());

        model->setOutputFolder(output);
        QSignalSpy finished(model.get(), &AppModel::muxFinished);
        model->startMux();
        model->startMux(); // ignored while the first run goes on
        QVERIFY(finished.wait(60000));
        QTest::qWait(200);
        QCOMPARE(finished.size(), 1);
    }

    void messagesOfOneSuccessfulPair()
    {
        const MuxResult result{QUrl::fromLocalFile(u"/out/S01E02 - Titel.mkv"_s),
                               {u"a.de.srt"_s, u"b.de.srt"_s},
                               {},
                               {3},
                               1001.0 / 960.0,
                               -0.8,
                               {u"Warning: 'b.de.srt': komisch"_s}};
        QCOMPARE(issueTexts(muxResultIssues(u"S01E02"_s, result)),
                 (QStringList{
                     u"0 S01E02: Identischer externer Untertitel übersprungen: a.de.srt"_s,
                     u"0 S01E02: Identischer externer Untertitel übersprungen: b.de.srt"_s,
                     u"0 S01E02: Eingebettete Bild-Untertitel-Vollspur 3 durch die externe "
                     u"Text-Untertitelspur ersetzt."_s,
                     u"0 S01E02: PAL-Speedup der deutschen Audio- und Untertitelspuren "
                     u"automatisch korrigiert (Faktor 1.042708)."_s,
                     u"0 S01E02: Tonversatz von 0.80 Sekunden ausgeglichen."_s,
                     u"1 S01E02: mkvmerge meldet: Warning: 'b.de.srt': komisch"_s,
                     u"0 S01E02: Erstellt: S01E02 - Titel.mkv"_s,
                 }));
    }

    void remainingTime_data()
    {
        QTest::addColumn<double>("fraction");
        QTest::addColumn<double>("elapsedSeconds");
        QTest::addColumn<std::optional<double>>("remaining");

        QTest::newRow("a quarter after a minute") << 0.25 << 60.0 << std::optional(180.0);
        QTest::newRow("second of four pairs half done") << 0.375 << 30.0 << std::optional(50.0);
        QTest::newRow("nothing done yet") << 0.0 << 60.0 << std::optional<double>();
        QTest::newRow("all done") << 1.0 << 60.0 << std::optional<double>();
    }

    void remainingTime()
    {
        QFETCH(double, fraction);
        QFETCH(double, elapsedSeconds);
        QFETCH(std::optional<double>, remaining);
        QCOMPARE(linearRemainingSeconds(fraction, elapsedSeconds), remaining);
    }
};

QTEST_GUILESS_MAIN(MuxRunTest)
#include "tst_muxrun.moc"
