// Cuts located to the frame and the corrections a check hands the mux.
#include "analysis/PalSpeedup.h"
#include "model/IssueLine.h"
#include "support/SyncMedia.h"
#include "sync/SyncChecker.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(SyncPattern)
Q_DECLARE_METATYPE(QList<ReleaseEdit>)
Q_DECLARE_METATYPE(QList<CutLocation>)

namespace {

// Seven segments of 30 s back to back: a cut in the fourth or fifth still leaves three agreeing
// segments on one side and two on the other, the fewest the check believes.
constexpr double episodeSeconds = 210;
const SyncSegmentLayout layout{30, 7};
constexpr double filmSeconds = episodeSeconds + 10;
constexpr double pal = palTimingFactor;
const QString ffmpeg = u"/usr/bin/ffmpeg"_s;

// The German file runs as long as the film it plays.
double germanSeconds(double stretch, const QList<ReleaseEdit> &edits)
{
    double seconds = episodeSeconds;
    for (const ReleaseEdit &edit : edits)
        seconds += edit.seconds;
    return seconds / stretch;
}

// Ten one-minute segments of a ten-minute episode with the given lags, the jumps between them
// located as told.
SyncMeasurement tenMinutes(const QList<double> &lags, const QList<CutLocation> &locations)
{
    SyncMeasurement measurement{600};
    for (const double lag : lags)
        measurement.segments << SyncSegment{60.0 * double(measurement.segments.size()), 60, true,
                                            lag, 12};
    measurement.cutLocations = locations;
    return measurement;
}

} // namespace

class CutLocationTest final : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::vector<float> germanSoundtrack;

    QString file(const QString &name) const { return dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        const auto english = makeSoundtrack(SoundFamily::music, Language::english, 5, filmSeconds);
        germanSoundtrack = makeSoundtrack(SoundFamily::music, Language::german, 5, filmSeconds);
        QVERIFY(!english.empty() && !germanSoundtrack.empty());
        QCOMPARE(writeRelease(file(u"english.flac"_s), english, {}, episodeSeconds), QString());
    }

    // `stretch` is how the German release plays the film: PAL speed, a slightly slow transfer,
    // or both; the check is told of PAL speed only as the running times show it. A cut the
    // audio does not place clearly must be left alone, never spliced in a guessed place.
    void locatesCuts_data()
    {
        QTest::addColumn<double>("stretch");
        QTest::addColumn<double>("late");
        QTest::addColumn<QList<ReleaseEdit>>("edits");
        QTest::addColumn<SyncPattern>("pattern");
        QTest::addColumn<bool>("heard");   // PAL speed heard, not read from the running times
        QTest::addColumn<bool>("located"); // every cut placed and handed to the mux
        QTest::newRow("German shorter: located to the frame")
            << 1.0 << 0.5 << QList<ReleaseEdit>{{137, -2.4}} << SyncPattern::cut << false << true;
        QTest::newRow("German longer: not placed clearly, so not repaired")
            << 1.0 << 0.3 << QList<ReleaseEdit>{{100, 1.6}} << SyncPattern::cut << false << false;
        QTest::newRow("extra material hides PAL speed from the running times")
            << pal << -0.4 << QList<ReleaseEdit>{{100, 1.2}} << SyncPattern::cut << true << false;
        QTest::newRow("0.1 % slow at PAL speed")
            << pal * 0.999 << 0.0 << QList<ReleaseEdit>{} << SyncPattern::drift << false << false;
    }

    void locatesCuts()
    {
        QFETCH(double, stretch);
        QFETCH(double, late);
        QFETCH(QList<ReleaseEdit>, edits);
        QFETCH(SyncPattern, pattern);
        QFETCH(bool, heard);
        QFETCH(bool, located);
        const QString german = file(QString::fromUtf8(QTest::currentDataTag()) + u".flac"_s);
        const double seconds = germanSeconds(stretch, edits);
        QCOMPARE(writeEditedRelease(german, germanSoundtrack, stretch, late, edits, seconds),
                 QString());
        SyncCheckOptions options{ffmpeg};
        options.localizedStretch = showsPalSpeedup(episodeSeconds, seconds) ? pal : 1.0;
        const SyncMeasurement measurement = measureAndLocate(
            {QUrl::fromLocalFile(file(u"english.flac"_s)), 0, episodeSeconds},
            {QUrl::fromLocalFile(german), 0, seconds}, options, layout);
        const SyncVerdict verdict = judgeSync(u"S01E02"_s, measurement);
        for (const AnalysisIssue &finding : verdict.findings)
            qInfo("%s", qPrintable(issueLine(finding)));

        QCOMPARE(verdict.assessment.pattern, pattern);
        QCOMPARE(measurement.stretchHeard, heard);
        QVERIFY(verdict.correction);
        QCOMPARE(verdict.correction->palSpeedHeard, heard);
        // Measured on the axis the check stretched the German file to: a release that plays
        // slower than that drifts later by the difference.
        const double speed = measurement.localizedStretch / stretch;
        QCOMPARE_LE(std::abs(verdict.correction->offsetSeconds - late * speed), 0.02);
        QCOMPARE_LE(std::abs(verdict.correction->driftPerSecond - (speed - 1)), 5e-5);
        QCOMPARE(verdict.assessment.cuts.size(), edits.size());
        const QList<SyncCut> &cuts = verdict.correction->cuts;
        QCOMPARE(cuts.size(), located ? edits.size() : 0);
        double lag = late;
        for (qsizetype i = 0; i < cuts.size(); ++i) {
            const SyncCut &cut = cuts.at(i);
            QCOMPARE_LE(std::abs(cut.englishSeconds - edits.at(i).atSeconds), 0.05);
            QCOMPARE_LE(std::abs(cut.fromLagSeconds - lag), 0.02);
            lag += edits.at(i).seconds;
            QCOMPARE_LE(std::abs(cut.toLagSeconds - lag), 0.02);
        }
    }

    // Segment lags per minute of a ten-minute episode and the places found for their jumps.
    void judgesCuts_data()
    {
        QTest::addColumn<QList<double>>("lags");
        QTest::addColumn<QList<CutLocation>>("locations"); // per jump; no time: not placed
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<double>>("repaired"); // the cuts handed to the mux
        const QString cut = u"[Warnung] S01E02: Der Versatz der deutschen Tonspur springt bei "
                            u"etwa %1 von %2 auf %3 Sekunden; die Fassungen sind unterschiedlich "
                            u"geschnitten."_s;
        const QString refused = u"[Hinweis] S01E02: %1; die Schnitte werden nicht ausgeglichen."_s;
        const QList<double> twoCuts{0, 0, 0, 0, 1.2, 1.2, 1.2, -1.8, -1.8, -1.8};
        QTest::newRow("two cuts: one line each, in time order")
            << twoCuts << QList<CutLocation>{{0, 1.2, 250.0}, {1.2, -1.8, 421.0}}
            << QStringList{cut.arg(u"4:10 min"_s, u"0.00"_s, u"1.20"_s),
                           cut.arg(u"7:01 min"_s, u"1.20"_s, u"-1.80"_s)}
            << QList<double>{250.0, 421.0};
        QTest::newRow("one of two not placed: neither repaired")
            << twoCuts << QList<CutLocation>{{0, 1.2, 250.0}, {1.2, -1.8, std::nullopt}}
            << QStringList{cut.arg(u"4:10 min"_s, u"0.00"_s, u"1.20"_s),
                           cut.arg(u"7:00 min"_s, u"1.20"_s, u"-1.80"_s),
                           refused.arg(u"Der Schnitt bei etwa 7:00 min ließ sich nicht sicher "
                                       u"orten"_s)}
            << QList<double>{};
        QTest::newRow("placed outside the segments around the jump: not repaired")
            << twoCuts << QList<CutLocation>{{0, 1.2, 250.0}, {1.2, -1.8, 500.0}}
            << QStringList{cut.arg(u"4:10 min"_s, u"0.00"_s, u"1.20"_s),
                           cut.arg(u"7:00 min"_s, u"1.20"_s, u"-1.80"_s),
                           refused.arg(u"Der Schnitt bei etwa 7:00 min ließ sich nicht sicher "
                                       u"orten"_s)}
            << QList<double>{};
        QTest::newRow("nine and a half minutes more: repaired")
            << QList<double>{0, 0, 0, 0, 0, 570, 570, 570, 570, 570}
            << QList<CutLocation>{{0, 570, 300.0}}
            << QStringList{cut.arg(u"5:00 min"_s, u"0.00"_s, u"570.00"_s)}
            << QList<double>{300.0};
        QTest::newRow("eleven minutes less: no cut to repair")
            << QList<double>{0, 0, 0, 0, 0, -660, -660, -660, -660, -660}
            << QList<CutLocation>{{0, -660, 300.0}}
            << QStringList{cut.arg(u"5:00 min"_s, u"0.00"_s, u"-660.00"_s),
                           refused.arg(u"Der Sprung bei etwa 5:00 min ist mit 660.00 Sekunden zu "
                                       u"groß für einen Schnitt"_s)}
            << QList<double>{};
    }

    void judgesCuts()
    {
        QFETCH(QList<double>, lags);
        QFETCH(QList<CutLocation>, locations);
        QFETCH(QStringList, lines);
        QFETCH(QList<double>, repaired);
        const SyncVerdict verdict = judgeSync(u"S01E02"_s, tenMinutes(lags, locations));
        QStringList found;
        for (const AnalysisIssue &finding : verdict.findings)
            found << issueLine(finding);
        QCOMPARE(found, lines);
        QVERIFY(verdict.correction);
        QCOMPARE(verdict.correction->offsetSeconds, lags.first());
        QList<double> times;
        for (const SyncCut &cut : verdict.correction->cuts)
            times << cut.englishSeconds;
        QCOMPARE(times, repaired);
    }
};

QTEST_GUILESS_MAIN(CutLocationTest)
#include "tst_cutlocation.moc"
