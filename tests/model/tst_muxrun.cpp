// The mux run: pairs in turn and at once, cancel, leftovers and messages.
#include "model/AppModel.h"
#include "model/MuxMessages.h"
#include "support/FakeTool.h"
#include "support/ModelRuns.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <sys/wait.h>
#include <unistd.h>

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

// What the stand-in does for a pair that fails, and the message the run gives for it.
const QString failingMux = u"echo 'Error: kaputt'; exit 2"_s;
QString failedMessage(const QString &pair)
{
    return u"2 %1: Muxen fehlgeschlagen: Error: kaputt"_s.arg(pair);
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
        auto model = modelFor(m_root.filePath(u"eng"_s), m_root.filePath(u"deu"_s), tools);
        model->setOutputFolder(QUrl::fromLocalFile(run + u"/out"_s));
        if (!runAnalysis(*model))
            qFatal("the analysis did not end");
        return model;
    }

private slots:
    void initTestCase()
    {
        for (const QString &name :
             {u"eng/S01E01.mkv"_s, u"eng/S01E02.mkv"_s, u"eng/S01E03.mkv"_s, u"eng/S01E04.mkv"_s,
              u"deu/S01E01.mkv"_s, u"deu/S01E02.mkv"_s, u"deu/S01E03.mkv"_s}) {
            QDir().mkpath(QFileInfo(m_root.filePath(name)).path());
            const QString language = name.startsWith(u"eng") ? u"eng"_s : u"ger"_s;
            QCOMPARE(makeTestMatroska(m_root.filePath(name), {2.0, {{language}}}), QString());
        }
    }

    // One pair after another into the folder the run started with: a failed pair never stops
    // the run, and a copy of the same content put in place of a source is still not the file
    // that was analysed. A folder chosen and a start requested during the run are for the next.
    void everyReadyPairInTurn()
    {
        const auto model = analysedModel(failingMux, u"S01E01"_s);
        const QString source = m_root.filePath(u"deu/S01E03.mkv"_s);
        const QString copy = source + u".neu"_s;
        QVERIFY(QFile::copy(source, copy) && QFile::remove(source) && QFile::rename(copy, source));
        const QString started = model->outputFolder()->toLocalFile();
        const QString other = m_root.filePath(u"andere"_s);
        QVERIFY(QDir().mkpath(other));
        connect(model.get(), &AppModel::muxProgressChanged, model.get(), [&] {
            if (model->muxProgress() == u"S01E01 (1 von 3)") {
                model->setOutputFolder(QUrl::fromLocalFile(other));
                model->startMux();
            }
        });
        PropertyLog progress(*model, &AppModel::muxProgressChanged, &AppModel::muxProgress);
        PropertyLog fraction(*model, &AppModel::muxFractionChanged, &AppModel::muxFraction);
        const qsizetype analysisIssues = model->issues().size();
        QVERIFY(runMux(*model));

        QCOMPARE(progress.values, (QStringList{u"S01E01 (1 von 3)"_s, u"S01E02 (2 von 3)"_s,
                                               u"S01E03 (3 von 3)"_s, u"Abgeschlossen"_s}));
        // A pair reports 50 % and its end, the failed one too, the refused one only its end; the
        // pair without its folder-2 file is not counted.
        QCOMPARE(fraction.values, (QList<std::optional<double>>{0.0, 0.5 / 3, 1.0 / 3, 1.5 / 3,
                                                                2.0 / 3, 1.0, std::nullopt}));
        QCOMPARE(issueTexts(model->issues()).mid(analysisIssues),
                 (QStringList{failedMessage(u"S01E01"_s), u"0 S01E02: Erstellt: S01E02.mkv"_s,
                              u"2 S01E03: S01E03.mkv: Die Datei wurde seit der Analyse verändert. "
                              u"Bitte erneut analysieren."_s}));
        QCOMPARE(folderEntries(started), QStringList{u"S01E02.mkv"_s});
        QCOMPARE(folderEntries(other), QStringList());
        QVERIFY(!model->isMuxing() && !model->muxETA());
    }

    // Three pairs at once: the messages keep the table order though the first pair ends last.
    void pairsAtOnce()
    {
        const auto model = analysedModel(uR"sh(dir=$(dirname "$output")
until [ -e "$dir/S01E02.mkv" ] && [ -e "$dir/S01E03.mkv" ]; do sleep 0.1; done
)sh"_s + failingMux,
                                         u"S01E01"_s);
        model->setMuxJobs(3);
        PropertyLog progress(*model, &AppModel::muxProgressChanged, &AppModel::muxProgress);
        PropertyLog fraction(*model, &AppModel::muxFractionChanged, &AppModel::muxFraction);
        const qsizetype analysisIssues = model->issues().size();
        QVERIFY(runMux(*model));

        QCOMPARE(issueTexts(model->issues()).mid(analysisIssues),
                 (QStringList{failedMessage(u"S01E01"_s), u"0 S01E02: Erstellt: S01E02.mkv"_s,
                              u"0 S01E03: Erstellt: S01E03.mkv"_s}));
        QCOMPARE(progress.values.first(), u"S01E01, S01E02, S01E03 (3 von 3)"_s);
        QCOMPARE(progress.values.last(2), (QStringList{u"S01E01 (3 von 3)"_s, u"Abgeschlossen"_s}));
        // The mean of the pairs' fractions only rises.
        QCOMPARE(fraction.values.last(2), (QList<std::optional<double>>{1.0, std::nullopt}));
        QVERIFY(std::is_sorted(fraction.values.cbegin(), fraction.values.cend() - 1));
    }

    // What a killed run left in the output folder goes with one note when the next run starts
    // there. (Which files count as left: the leftover tests.)
    void leftoversOfADeadRun()
    {
        const auto model = analysedModel(u":"_s);
        const QDir output(model->outputFolder()->toLocalFile());
        const pid_t ended = ::fork();
        if (ended == 0)
            ::_exit(0);
        ::waitpid(ended, nullptr, 0);
        const QString dead = u".spurenflechter-%1-1-%2.mkv"_s.arg(ended).arg(
            QUuid::createUuid().toString(QUuid::WithoutBraces));
        writeTestFile(output.filePath(dead), QByteArray(2048, 'x'));
        QVERIFY(runMux(*model));
        QTRY_VERIFY(issueTexts(model->issues())
                        .contains(u"0 Im Ausgabeordner wurde 1 liegen gebliebene temporäre Datei "
                                  u"eines beendeten Laufs entfernt (2,0 kB)."_s));
        QVERIFY(!output.exists(dead));
    }

    // One pair at a time, the cancelled pair is named as the run stopped "after" it; with
    // pairs side by side, one line after the finished pairs' messages names every ready pair
    // without a file, unless the cancelled one is the only such pair.
    void cancel_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::addColumn<QString>("hanging"); // the pairs whose mux never ends, as a pattern
        QTest::addColumn<QString>("cancelAt");
        QTest::addColumn<QStringList>("messages");
        const QString created = u"0 %1: Erstellt: %1.mkv"_s;
        const QString unfinished = u"0 Verarbeitung abgebrochen; nicht fertig geworden: %1."_s;
        QTest::newRow("one at a time, during the second")
            << 1 << u"S01E02"_s << u"S01E02 (2 von 3)"_s
            << QStringList{created.arg(u"S01E01"_s), u"0 Verarbeitung nach S01E02 abgebrochen."_s};
        QTest::newRow("two at once, the third not started")
            << 2 << u"S01E0[1-3]"_s << u"S01E01, S01E02 (2 von 3)"_s
            << QStringList{unfinished.arg(u"S01E01, S01E02, S01E03"_s)};
        QTest::newRow("two at once, the second done")
            << 2 << u"S01E0[13]"_s << u"S01E01, S01E03 (3 von 3)"_s
            << QStringList{created.arg(u"S01E02"_s), unfinished.arg(u"S01E01, S01E03"_s)};
        QTest::newRow("three at once, only the last left")
            << 3 << u"S01E03"_s << u"S01E03 (3 von 3)"_s
            << QStringList{created.arg(u"S01E01"_s), created.arg(u"S01E02"_s),
                           u"0 Verarbeitung nach S01E03 abgebrochen."_s};
    }
    void cancel()
    {
        QFETCH(int, jobs);
        QFETCH(QString, hanging);
        QFETCH(QString, cancelAt);
        QFETCH(QStringList, messages);
        const auto model = analysedModel(u"exec sleep 60"_s, hanging);
        model->setMuxJobs(jobs);
        const qsizetype analysisIssues = model->issues().size();
        PropertyLog progress(*model, &AppModel::muxProgressChanged, &AppModel::muxProgress);
        connect(model.get(), &AppModel::muxProgressChanged, model.get(), [&] {
            if (model->muxProgress() == cancelAt) {
                model->cancelMux();
                model->cancelMux(); // a second request changes nothing
            }
        });
        model->cancelMux(); // idle: changes nothing
        QVERIFY(runMux(*model));

        QCOMPARE(progress.values.last(2), (QStringList{u"Wird abgebrochen …"_s, u"Abgebrochen"_s}));
        QCOMPARE(issueTexts(model->issues()).mid(analysisIssues), messages);
    }

    void messagesOfOneSuccessfulPair()
    {
        // The PAL correction's message, with the pitch restoration's: the command-line mux tests.
        const MuxResult result{QUrl::fromLocalFile(u"/out/S01E02 - Titel.mkv"_s),
                               {u"a.de.srt"_s, u"b.de.srt"_s},
                               {},
                               {3},
                               std::nullopt,
                               -0.8,
                               {u"Warning: 'b.de.srt': komisch"_s}};
        QCOMPARE(issueTexts(muxResultIssues(u"S01E02"_s, result)),
                 (QStringList{
                     u"0 S01E02: Identischer externer Untertitel übersprungen: a.de.srt"_s,
                     u"0 S01E02: Identischer externer Untertitel übersprungen: b.de.srt"_s,
                     u"0 S01E02: Eingebettete Bild-Untertitel-Vollspur 3 durch die externe "
                     u"Text-Untertitelspur ersetzt."_s,
                     u"0 S01E02: Tonversatz von 0.80 Sekunden ausgeglichen."_s,
                     u"1 S01E02: mkvmerge meldet: Warning: 'b.de.srt': komisch"_s,
                     u"0 S01E02: Erstellt: S01E02 - Titel.mkv"_s,
                 }));
    }
};

QTEST_GUILESS_MAIN(MuxRunTest)
#include "tst_muxrun.moc"
