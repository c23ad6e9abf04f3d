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

    // Only the last segment is off, with a match that stands out (a held note can give one).
    void countsAJumpOnlyTheLastSegmentShowsWherePlaced_data()
    {
        QTest::addColumn<bool>("placedInTheAudio");
        QTest::addColumn<QString>("line");
        QTest::newRow("placed: the output's last minute is off")
            << true
            << u"[Warnung] S01E02: Im Ergebnis weicht die deutsche Tonspur bei etwa 9:30 min um "
               u"0.90 Sekunden ab."_s;
        QTest::newRow("not placed: the other segments hold")
            << false
            << u"[Hinweis] S01E02: Tonversatz im Ergebnis geprüft: höchstens 0.01 Sekunden "
               u"Abweichung."_s;
    }

    void countsAJumpOnlyTheLastSegmentShowsWherePlaced()
    {
        QFETCH(bool, placedInTheAudio);
        QFETCH(QString, line);
        SyncMeasurement measurement = tenMinutes({0, 0, 0.01, 0, 0, 0, 0, 0, 0, 0.9});
        measurement.segments.last().score = 15;
        measurement.cutsSought = true;
        if (placedInTheAudio)
            measurement.cutLocations << CutLocation{0.001, 0.9, 571.2};
        QCOMPARE(issueLine(judgeResult(u"S01E02"_s, measurement).finding).trimmed(), line);
    }
};

QTEST_GUILESS_MAIN(ResultCheckTest)
#include "tst_resultcheck.moc"
