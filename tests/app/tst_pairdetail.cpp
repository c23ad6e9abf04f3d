// The pair detail: the planned tracks of the selected pair, and the sync plot.
#include "ContentView.h"
#include "model/AppModel.h"
#include "PairDetail.h"
#include "support/TestMedia.h"
#include "SyncPlot.h"

#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Points = QList<SyncPlot::Point>;

// Ten segments of 20 s, one every minute from 0:20 on; `lags` by segment, NaN for none.
PairSyncCheck check(const QList<double> &lags, const QList<bool> &trusted, SyncAssessment a)
{
    PairSyncCheck result;
    result.measurement.durationSeconds = 600;
    for (qsizetype i = 0; i < lags.size(); ++i) {
        SyncSegment segment{20.0 + 60 * i, 20, true};
        if (!std::isnan(lags.at(i)))
            segment.lagSeconds = lags.at(i);
        result.measurement.segments << segment;
    }
    a.trusted = trusted;
    result.verdict.assessment = a;
    return result;
}

QStringList rowTexts(const QAbstractItemModel *table)
{
    QStringList rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < table->columnCount(); ++column)
            cells << table->index(row, column).data().toString();
        rows << cells.join(u" | "_s);
    }
    return rows;
}

} // namespace

Q_DECLARE_METATYPE(PairSyncCheck)

class PairDetailTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void syncPlot_data()
    {
        QTest::addColumn<PairSyncCheck>("check");
        QTest::addColumn<Points>("points");
        QTest::addColumn<QString>("description");
        const double none = std::nan("");
        QTest::newRow("constant offset, one stray segment, one without a lag")
            << check({1.2, 1.21, 7.5, none, 1.19}, {true, true, false, false, true},
                     {SyncPattern::constant, {}, 1.2})
            << Points{{0.5, 1.2, true}, {1.5, 1.21, true}, {2.5, 7.5, false}, {4.5, 1.19, true}}
            << u"Gleichbleibender Versatz von +1,20 s über die ganze Episode. 3 von 5 "
               u"Messpunkten stimmen überein."_s;
        QTest::newRow("cut")
            << check({0, 0, 2, 2}, {true, true, true, true},
                     {SyncPattern::cut, {}, 0, 150, 0, 2})
            << Points{{0.5, 0, true}, {1.5, 0, true}, {2.5, 2, true}, {3.5, 2, true}}
            << u"Schnitt bei Minute 2,5: der Versatz springt von 0,00 s auf +2,00 s. 4 von 4 "
               u"Messpunkten stimmen überein."_s;
        QTest::newRow("drift")
            << check({-0.1, -0.2, -0.3}, {true, true, true},
                     {SyncPattern::drift, {}, 0, 0, -0.05, -0.55})
            << Points{{0.5, -0.1, true}, {1.5, -0.2, true}, {2.5, -0.3, true}}
            << u"Der Versatz wandert gleichmäßig von −0,05 s am Anfang auf −0,55 s am Ende. "
               u"3 von 3 Messpunkten stimmen überein."_s;
        QTest::newRow("nothing agrees")
            << check({3, -9}, {false, false}, {SyncPattern::unsure})
            << Points{{0.5, 3, false}, {1.5, -9, false}}
            << u"Kein eindeutiger Versatz: die Messpunkte stimmen nicht überein. 0 von 2 "
               u"Messpunkten stimmen überein."_s;
        QTest::newRow("not measured") << check({}, {}, {SyncPattern::unsure}) << Points()
                                      << u"Der Tonversatz konnte nicht gemessen werden."_s;
    }

    void syncPlot()
    {
        QFETCH(PairSyncCheck, check);
        QFETCH(Points, points);
        QFETCH(QString, description);
        SyncPlot plot;
        plot.showCheck(check);
        QCOMPARE(plot.points(), points);
        QCOMPARE(plot.accessibleDescription(), description);
        plot.resize(plot.sizeHint());
        QVERIFY(!plot.grab().isNull()); // paints every pattern without tripping the sanitizers
    }

    // Selecting a row shows what the mux would write for that pair; a pair it would not mux
    // says so.
    void selectedPairShowsItsTracks()
    {
        QTemporaryDir dir;
        for (const QString &folder : {u"eng"_s, u"deu"_s, u"out"_s})
            QVERIFY(QDir(dir.path()).mkdir(folder));
        QCOMPARE(makeTestMatroska(dir.filePath(u"eng/S01E01.mkv"_s),
                                  {4.0, {{u"eng"_s}}, {{u"eng"_s, {}, false, true}}}),
                 QString());
        QCOMPARE(makeTestMatroska(dir.filePath(u"eng/S01E02.mkv"_s), {4.0, {{u"eng"_s}}}),
                 QString());
        QCOMPARE(makeTestMatroska(dir.filePath(u"deu/S01E01.mkv"_s), {3.84, {{u"ger"_s}}}),
                 QString());
        AppModel model;
        ContentView view(model);
        model.setPrimaryFolder(QUrl::fromLocalFile(dir.filePath(u"eng"_s)));
        model.setLocalizedFolder(QUrl::fromLocalFile(dir.filePath(u"deu"_s)));
        model.setOutputFolder(QUrl::fromLocalFile(dir.filePath(u"out"_s)));
        QSignalSpy analysed(&model, &AppModel::analysisFinished);
        model.analyze();
        QVERIFY(analysed.wait(60000));
        PairDetail *detail = view.pairDetail();
        QVERIFY(detail->isHidden());

        QSignalSpy shown(detail, &PairDetail::planShown);
        view.pairTable()->selectRow(0);
        QVERIFY(shown.wait(30000));
        QVERIFY(!detail->isHidden());
        QCOMPARE(detail->statusLabel()->text(), u"Geplante Spuren von „S01E01.mkv“:"_s);
        QCOMPARE(
            rowTexts(detail->trackTable()->model()),
            (QStringList{u"1 | Video | und | – | Standard | Ordner 1: S01E01.mkv, Spur 0 | "
                         u"unverändert | keine"_s,
                         u"2 | Ton | ger | Deutsch | Standard | Ordner 2: S01E01.mkv, Spur 1 | "
                         u"gestreckt ×1,042708 | keine"_s,
                         u"3 | Ton | eng | English | – | Ordner 1: S01E01.mkv, Spur 1 | "
                         u"unverändert | keine"_s,
                         u"4 | Untertitel | eng | English – Erzwungen | Erzwungen | Ordner 1: "
                         u"S01E01.mkv, Spur 2 | unverändert | keine"_s}));
        QVERIFY(detail->syncPlot()->isHidden()); // no sync check ran

        // A changed option changes the plan shown: the German track is converted instead.
        model.setPitchRestoreEnabled(true);
        QVERIFY(shown.wait(30000));
        QCOMPARE(rowTexts(detail->trackTable()->model()).at(1),
                 u"2 | Ton | ger | Deutsch | Standard | Ordner 2: S01E01.mkv, Spur 1 | unverändert | "
                 u"auf Filmgeschwindigkeit und -tonhöhe gebracht, AC-3, 32 kbit/s"_s);

        view.pairTable()->selectRow(1);
        QVERIFY(shown.wait(30000));
        QCOMPARE(detail->statusLabel()->text(), u"Dieses Paar wird nicht gemuxt."_s);
        QCOMPARE(detail->trackTable()->model()->rowCount(), 0);
        QCOMPARE(QDir(dir.filePath(u"out"_s)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries |
                                                         QDir::Hidden),
                 QStringList());
    }
};

QTEST_MAIN(PairDetailTest)
#include "tst_pairdetail.moc"
