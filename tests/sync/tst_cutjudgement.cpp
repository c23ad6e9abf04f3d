// What the segments' lags and the places found for their jumps tell the user and the mux.
#include "model/IssueLine.h"
#include "sync/SyncCheck.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(QList<CutLocation>)

namespace {

// Ten one-minute segments of a ten-minute episode with the given lags, the jumps between them
// looked for and located as told.
SyncMeasurement tenMinutes(const QList<double> &lags, const QList<CutLocation> &locations)
{
    SyncMeasurement measurement{600};
    for (const double lag : lags)
        measurement.segments << SyncSegment{60.0 * double(measurement.segments.size()), 60, true,
                                            lag, 12};
    measurement.cutLocations = locations;
    measurement.cutsSought = true;
    return measurement;
}

} // namespace

class CutJudgementTest final : public QObject {
    Q_OBJECT

private slots:
    // Segment lags per minute of a ten-minute episode and the places found for their jumps.
    void judgesCuts_data()
    {
        QTest::addColumn<QList<double>>("lags");
        QTest::addColumn<QList<CutLocation>>("locations"); // per jump; no time: not placed
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<double>>("repaired"); // the cuts handed to the mux
        QTest::addColumn<double>("unspliced");       // the offset the mux takes without them
        const QString cut = u"[Warnung] S01E02: Der Versatz der deutschen Tonspur springt bei "
                            u"etwa %1 von %2 auf %3 Sekunden; die Fassungen sind unterschiedlich "
                            u"geschnitten."_s;
        const QString refused = u"[Hinweis] S01E02: %1; die Schnitte werden nicht ausgeglichen."_s;
        const QList<double> twoCuts{0, 0, 0, 0, 1.2, 1.2, 1.2, -1.8, -1.8, -1.8};
        const QStringList secondUnplaced{
            cut.arg(u"4:10 min"_s, u"0.00"_s, u"1.20"_s),
            cut.arg(u"7:00 min"_s, u"1.20"_s, u"-1.80"_s),
            refused.arg(u"Der Schnitt bei etwa 7:00 min ließ sich nicht sicher orten"_s)};
        QTest::newRow("two cuts: one line each, in time order")
            << twoCuts << QList<CutLocation>{{0, 1.2, 250.0}, {1.2, -1.8, 421.0}}
            << QStringList{cut.arg(u"4:10 min"_s, u"0.00"_s, u"1.20"_s),
                           cut.arg(u"7:01 min"_s, u"1.20"_s, u"-1.80"_s)}
            << QList<double>{250.0, 421.0} << 0.0;
        QTest::newRow("one of two not placed: neither repaired")
            << twoCuts << QList<CutLocation>{{0, 1.2, 250.0}, {1.2, -1.8, std::nullopt}}
            << secondUnplaced << QList<double>{} << 0.0;
        QTest::newRow("placed outside the segments around the jump: not repaired")
            << twoCuts << QList<CutLocation>{{0, 1.2, 250.0}, {1.2, -1.8, 500.0}} << secondUnplaced
            << QList<double>{} << 0.0;
        // Held notes can make an edge segment alone match a lag the audio does not have.
        const QList<double> loneFirst{2.0, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5};
        QTest::newRow("a jump only the first segment shows, placed: repaired")
            << loneFirst << QList<CutLocation>{{2.0, 0.5, 70.0}}
            << QStringList{cut.arg(u"1:10 min"_s, u"2.00"_s, u"0.50"_s)} << QList<double>{70.0}
            << 0.5;
        QTest::newRow("a jump only the first segment shows, not placed: the others' offset")
            << loneFirst << QList<CutLocation>{{2.0, 0.5, std::nullopt}}
            << QStringList{u"[Warnung] S01E02: Die deutsche Tonspur läuft 0.50 Sekunden zu spät; "
                           u"wird beim Muxen ausgeglichen."_s}
            << QList<double>{} << 0.5;
        QTest::newRow("a jump only the last segment shows, not placed: the others' offset")
            << QList<double>{0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 2.0}
            << QList<CutLocation>{{0.5, 2.0, std::nullopt}}
            << QStringList{u"[Warnung] S01E02: Die deutsche Tonspur läuft 0.50 Sekunden zu spät; "
                           u"wird beim Muxen ausgeglichen."_s}
            << QList<double>{} << 0.5;
        QTest::newRow("nine and a half minutes more: repaired")
            << QList<double>{0, 0, 0, 0, 0, 570, 570, 570, 570, 570}
            << QList<CutLocation>{{0, 570, 300.0}}
            << QStringList{cut.arg(u"5:00 min"_s, u"0.00"_s, u"570.00"_s)} << QList<double>{300.0}
            << 0.0;
        QTest::newRow("eleven minutes less: no cut to repair")
            << QList<double>{0, 0, 0, 0, 0, -660, -660, -660, -660, -660}
            << QList<CutLocation>{{0, -660, 300.0}}
            << QStringList{cut.arg(u"5:00 min"_s, u"0.00"_s, u"-660.00"_s),
                           refused.arg(u"Der Sprung bei etwa 5:00 min ist mit 660.00 Sekunden zu "
                                       u"groß für einen Schnitt"_s)}
            << QList<double>{} << 0.0;
    }

    void judgesCuts()
    {
        QFETCH(QList<double>, lags);
        QFETCH(QList<CutLocation>, locations);
        QFETCH(QStringList, lines);
        QFETCH(QList<double>, repaired);
        QFETCH(double, unspliced);
        const SyncVerdict verdict = judgeSync(u"S01E02"_s, tenMinutes(lags, locations));
        QStringList found;
        for (const AnalysisIssue &finding : verdict.findings)
            found << issueLine(finding);
        QCOMPARE(found, lines);
        QVERIFY(verdict.correction);
        QCOMPARE(verdict.correction->offsetWithoutSplices(), unspliced);
        if (!repaired.isEmpty())
            QCOMPARE(verdict.correction->offsetSeconds, lags.first());
        QList<double> times;
        for (const SyncCut &cut : verdict.correction->cuts)
            times << cut.englishSeconds;
        QCOMPARE(times, repaired);
    }
};

QTEST_GUILESS_MAIN(CutJudgementTest)
#include "tst_cutjudgement.moc"
