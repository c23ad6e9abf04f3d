// What the check of a muxed file says about the lags it measured there.
#include "model/IssueLine.h"
#include "sync/ResultCheck.h"

#include <QTest>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// Ten one-minute segments of a ten-minute output with the given lags (NaN: no match).
SyncMeasurement tenMinutes(const QList<double> &lags)
{
    SyncMeasurement measurement{600};
    for (const double lag : lags)
        measurement.segments << SyncSegment{60.0 * double(measurement.segments.size()), 60, true,
                                            std::isnan(lag) ? std::nullopt : std::optional(lag),
                                            12};
    return measurement;
}

const double none = qQNaN();

} // namespace

class ResultCheckTest final : public QObject {
    Q_OBJECT

private slots:
    void judgesTheLargestTrustedDeviation_data()
    {
        QTest::addColumn<QList<double>>("lags");
        QTest::addColumn<QString>("line");
        QTest::newRow("all close to zero, the largest counts")
            << QList<double>{0.01, -0.02, 0, 0.01, 0, 0, 0.01, 0, 0, 0}
            << u"[Hinweis] S01E02: Tonversatz im Ergebnis geprüft: höchstens 0.02 Sekunden "
               u"Abweichung."_s;
        QTest::newRow("a stray match that agrees with nothing is not trusted")
            << QList<double>{0, 0, 0.01, 0, 7.3, 0, 0, 0, 0.01, 0}
            << u"[Hinweis] S01E02: Tonversatz im Ergebnis geprüft: höchstens 0.01 Sekunden "
               u"Abweichung."_s;
        QTest::newRow("an early track everywhere is named at its worst segment's centre")
            << QList<double>{-1.6, -1.6, -1.61, -1.6, -1.6, -1.6, -1.6, -1.6, -1.6, -1.6}
            << u"[Warnung] S01E02: Im Ergebnis weicht die deutsche Tonspur bei etwa 2:30 min um "
               u"1.61 Sekunden ab."_s;
        QTest::newRow("a kept cut after the fourth segment")
            << QList<double>{0, 0, 0, 0, 1.6, 1.6, 1.6, 1.6, none, 1.6}
            << u"[Warnung] S01E02: Im Ergebnis weicht die deutsche Tonspur bei etwa 4:30 min um "
               u"1.60 Sekunden ab."_s;
        QTest::newRow("no agreement is no all-clear")
            << QList<double>{3.1, -8, none, 12, 0.4, -22, none, 5, 1, -3}
            << u"[Hinweis] S01E02: Der Tonversatz im Ergebnis ließ sich nicht sicher "
               u"bestimmen."_s;
    }

    void judgesTheLargestTrustedDeviation()
    {
        QFETCH(QList<double>, lags);
        QFETCH(QString, line);
        QCOMPARE(issueLine(judgeResult(u"S01E02"_s, tenMinutes(lags)).finding).trimmed(), line);
    }

    // Each segment's match stands out as far as an edge segment's alone must.
    void looksForTheJumpsOnlyAnEdgeSegmentShows_data()
    {
        QTest::addColumn<QList<double>>("lags");
        QTest::addColumn<QList<double>>("soughtJumpsTo"); // the lag after each jump looked for
        QTest::newRow("the last segment alone off")
            << QList<double>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0.9} << QList<double>{0.9};
        QTest::newRow("the first segment alone off")
            << QList<double>{0.9, 0, 0, 0, 0, 0, 0, 0, 0, 0} << QList<double>{0.0};
        QTest::newRow("a kept cut after the fourth segment: a deviation wherever it lies")
            << QList<double>{0, 0, 0, 0, 1.6, 1.6, 1.6, 1.6, 1.6, 1.6} << QList<double>{};
        QTest::newRow("all close to zero") << QList<double>(10, 0.01) << QList<double>{};
    }

    void looksForTheJumpsOnlyAnEdgeSegmentShows()
    {
        QFETCH(QList<double>, lags);
        QFETCH(QList<double>, soughtJumpsTo);
        QList<double> sought;
        for (const SyncJump &jump : edgeJumps(tenMinutes(lags)))
            sought << jump.toLagSeconds;
        QCOMPARE(sought, soughtJumpsTo);
    }
};

QTEST_GUILESS_MAIN(ResultCheckTest)
#include "tst_resultcheck.moc"
