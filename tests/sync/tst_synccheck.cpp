// The audio sync check on generated releases: timing, doubt, segments and thresholds.
#include "analysis/PalSpeedup.h"
#include "model/IssueLine.h"
#include "support/FakeTool.h"
#include "support/SyncMedia.h"
#include "sync/SyncSegments.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(SoundFamily)
Q_DECLARE_METATYPE(SyncPattern)
Q_DECLARE_METATYPE(ReleaseTiming)

namespace {

constexpr double episodeSeconds = 180;
// Six segments of 30 s back to back: enough to agree, few enough for a quick test (each
// segment costs two runs of ffmpeg).
const SyncSegmentLayout shortLayout{30, 6};
// The German soundtrack runs on, so a release that plays it early still has sound at its end.
constexpr double filmSeconds = episodeSeconds + 10;
constexpr double pal = palTimingFactor;
const double noMatch = qQNaN();
const QString ffmpeg = u"/usr/bin/ffmpeg"_s;
const std::pair<SoundFamily, const char *> families[] = {{SoundFamily::effects, "effects"},
                                                         {SoundFamily::speech, "speech"},
                                                         {SoundFamily::music, "music"}};

// Ten one-minute segments of a ten-minute episode with the given lags, each matched with
// `score` (clearly unless told).
SyncMeasurement tenMinutes(const QList<double> &lags, double score = 12)
{
    SyncMeasurement measurement{600};
    for (const double lag : lags)
        measurement.segments << SyncSegment{60.0 * double(measurement.segments.size()), 60, true,
                                            std::isnan(lag) ? std::nullopt : std::optional(lag),
                                            score};
    return measurement;
}

} // namespace

class SyncCheckTest final : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QHash<SoundFamily, std::vector<float>> germanSoundtracks;

    QString file(const QString &name) const { return dir.filePath(name); }
    static QString englishName(SoundFamily family) { return u"english-%1.mka"_s.arg(int(family)); }
    static QString unrelatedName(SoundFamily family)
    {
        return u"unrelated-%1.mka"_s.arg(int(family));
    }
    SyncMeasurement measure(const QString &english, const QString &german,
                            const SyncCheckOptions &options) const
    {
        const auto source = [&](const QString &name) {
            return SyncSource{QUrl::fromLocalFile(file(name)), 0, episodeSeconds};
        };
        return measureSync(source(english), source(german), options, shortLayout);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        for (const auto &[family, name] : families) {
            const auto english = makeSoundtrack(family, Language::english, 1, filmSeconds);
            germanSoundtracks[family] = makeSoundtrack(family, Language::german, 1, filmSeconds);
            const auto unrelated = makeSoundtrack(family, Language::german, 2, filmSeconds);
            QVERIFY(!english.empty() && !germanSoundtracks[family].empty() && !unrelated.empty());
            QCOMPARE(writeRelease(file(englishName(family)), english, {}, episodeSeconds),
                     QString());
            QCOMPARE(writeRelease(file(unrelatedName(family)), unrelated, {}, episodeSeconds),
                     QString());
        }
        QCOMPARE(writeRelease(file(u"silent.mka"_s), {}, {}, episodeSeconds), QString());
        writeFakeTool(file(u"failing-ffmpeg"_s), "exit 1");
        writeFakeTool(file(u"hanging-ffmpeg"_s), "exec sleep 60");
    }

    // The German release of each family as played with an offset, a cut or the wrong speed;
    // `from` and `to` are the lags at the start and the end of the episode.
    void readsTheGermanTiming_data()
    {
        QTest::addColumn<SoundFamily>("family");
        QTest::addColumn<ReleaseTiming>("timing");
        QTest::addColumn<SyncPattern>("pattern");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::newRow("effects: 5 s late at PAL speed")
            << SoundFamily::effects << ReleaseTiming{pal, 5} << SyncPattern::constant << 5.0 << 5.0;
        QTest::newRow("speech: 0.8 s early at PAL speed")
            << SoundFamily::speech << ReleaseTiming{pal, -0.8} << SyncPattern::constant << -0.8
            << -0.8;
        QTest::newRow("music: 5 s early")
            << SoundFamily::music << ReleaseTiming{1, -5} << SyncPattern::constant << -5.0 << -5.0;
        QTest::newRow("music: 2.1 s more from 1:40 min")
            << SoundFamily::music << ReleaseTiming{.cutAt = 100, .extraSeconds = 2.1}
            << SyncPattern::cut << 0.0 << 2.1;
        QTest::newRow("speech: played at 23.976 instead of 24 frames per second")
            << SoundFamily::speech << ReleaseTiming{23.976 / 24} << SyncPattern::drift << 0.0
            << episodeSeconds * 0.001;
    }

    void readsTheGermanTiming()
    {
        QFETCH(SoundFamily, family);
        QFETCH(ReleaseTiming, timing);
        QFETCH(SyncPattern, pattern);
        QFETCH(double, from);
        QFETCH(double, to);
        const QString german = QString::fromUtf8(QTest::currentDataTag()) + u".mka"_s;
        QCOMPARE(writeRelease(file(german), germanSoundtracks.value(family), timing,
                              episodeSeconds / timing.stretch),
                 QString());
        // Told of PAL speed as the analysis tells it, not of the small drift.
        const SyncMeasurement measurement =
            measure(englishName(family), german, {ffmpeg, timing.stretch == pal ? pal : 1.0});
        for (const SyncSegment &segment : measurement.segments)
            qInfo("%5.1f s: lag %7.3f s, score %5.1f", segment.startSeconds,
                  segment.lagSeconds.value_or(qQNaN()), segment.score);

        const SyncAssessment found = assessSync(measurement);
        QCOMPARE(found.pattern, pattern);
        QVERIFY(found.trusted.count(true) >= 3);
        // A single offset is the lag at the start and at the end alike.
        const bool single = pattern == SyncPattern::constant || pattern == SyncPattern::inSync;
        QCOMPARE_LE(std::abs((single ? found.offsetSeconds : found.fromSeconds) - from), 0.02);
        QCOMPARE_LE(std::abs((single ? found.offsetSeconds : found.toSeconds) - to), 0.02);
        if (pattern == SyncPattern::cut)
            QCOMPARE_LE(std::abs(found.cutSeconds - timing.cutAt), episodeSeconds / 6);
    }

    void unsureWithout_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<int>("segments"); // measured before the check ended
        const QString english = englishName(SoundFamily::effects);
        const QString german = unrelatedName(SoundFamily::effects);
        for (const auto &[family, name] : families)
            QTest::addRow("%s: unrelated audio", name)
                << ffmpeg << englishName(family) << unrelatedName(family) << 60000 << false << 6;
        QTest::newRow("silence") << ffmpeg << english << u"silent.mka"_s << 60000 << false << 6;
        QTest::newRow("failing ffmpeg: every segment tried")
            << file(u"failing-ffmpeg"_s) << english << german << 60000 << false << 6;
        QTest::newRow("hanging ffmpeg: the first decode past its limit ends the check")
            << file(u"hanging-ffmpeg"_s) << english << german << 300 << false << 1;
        QTest::newRow("stopped") << file(u"hanging-ffmpeg"_s) << english << german << 60000 << true
                                 << 0;
    }

    void unsureWithout()
    {
        QFETCH(QString, program);
        QFETCH(QString, english);
        QFETCH(QString, german);
        QFETCH(int, timeout);
        QFETCH(bool, stopped);
        QFETCH(int, segments);
        const StopFlag stop{stopped};
        QElapsedTimer timer;
        timer.start();
        const SyncMeasurement measurement = measure(english, german, {program, 1, timeout, &stop});
        QCOMPARE_LT(timer.elapsed(), 20000); // no decode is waited for twice past its limit
        QCOMPARE(measurement.segments.size(), segments);

        const SyncAssessment found = assessSync(measurement);
        QCOMPARE(found.pattern, SyncPattern::unsure);
        QCOMPARE(found.trusted.count(true), 0);
    }

    void segmentsFollowTheRunningTime_data()
    {
        QTest::addColumn<double>("duration");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("firstFullStart"); // of the first full-length segment
        QTest::addColumn<bool>("edges");            // half a minute at the start and the end
        QTest::newRow("45 minutes: nine, one in every 5:00 min, and the edges")
            << 2700.0 << 11 << 120.0 << true;
        QTest::newRow("10:30 min: ten, no room for the edges") << 630.0 << 10 << 1.5 << false;
        QTest::newRow("5 minutes: five, back to back") << 300.0 << 5 << 0.0 << false;
        QTest::newRow("2:59 min: too short for three") << 179.0 << 0 << 0.0 << false;
        QTest::newRow("unknown running time") << qQNaN() << 0 << 0.0 << false;
    }

    void segmentsFollowTheRunningTime()
    {
        QFETCH(double, duration);
        QFETCH(int, count);
        QFETCH(double, firstFullStart);
        QFETCH(bool, edges);
        const QList<SyncSpan> spans = planSyncSegments(duration);
        QCOMPARE(spans.size(), count);
        if (count == 0)
            return;
        const SyncSpan &firstFull = spans.at(edges ? 1 : 0);
        const SyncSpan &lastFull = spans.at(spans.size() - (edges ? 2 : 1));
        QCOMPARE(firstFull.start, firstFullStart);
        QCOMPARE(lastFull.start + lastFull.length, duration - firstFullStart);
        if (edges) {
            QCOMPARE(spans.first().start, 0.0);
            QCOMPARE(spans.last().start + spans.last().length, duration);
        }
        double decoded = 0;
        for (const SyncSpan &span : spans)
            decoded += span.length;
        QCOMPARE_LE(decoded, 600.0); // ten minutes at most
    }

    void judgement_data()
    {
        QTest::addColumn<QList<double>>("lags"); // per minute of a ten-minute episode
        QTest::addColumn<QString>("line");       // as the report shows it; empty: no finding
        QTest::addColumn<double>("correction");  // the offset undone unspliced; NaN: none
        const QString notSure =
            u"[Hinweis] S01E02: Der Tonversatz ließ sich nicht sicher bestimmen."_s;
        const QString shifted = u"[Warnung] S01E02: Die deutsche Tonspur läuft %1 Sekunden %2; "
                                u"wird beim Muxen ausgeglichen."_s;
        const QString cut = u"[Warnung] S01E02: Der Versatz der deutschen Tonspur springt bei "
                            u"etwa %1 von %2 auf %3 Sekunden; die Fassungen sind unterschiedlich "
                            u"geschnitten."_s;
        const double none = qQNaN();
        QTest::newRow("late, one stray segment among agreeing ones")
            << QList<double>{1.2, 1.21, 17.3, noMatch, 1.19, 1.2}
            << shifted.arg(u"1.20"_s, u"zu spät"_s) << 1.2;
        QTest::newRow("early") << QList<double>{-0.8, -0.81, -0.79}
                               << shifted.arg(u"0.80"_s, u"zu früh"_s) << -0.8;
        QTest::newRow("below 0.04 s: in sync")
            << QList<double>{-0.03, -0.035, -0.03} << QString() << none;
        QTest::newRow("cut") << QList<double>{0, 0, 0, 0, 0, 1.0, 2.1, 2.1, 2.1, 2.1}
                             << cut.arg(u"5:30 min"_s, u"0.00"_s, u"2.10"_s) << 0.0;
        QTest::newRow("two cuts: the first, two segments before it")
            << QList<double>{-1, -1, 0.5, 0.5, 0.5, 0.5, 3, 3, 3, 3}
            << cut.arg(u"2:00 min"_s, u"-1.00"_s, u"0.50"_s) << -1.0;
        QTest::newRow("drift")
            << QList<double>{0.03, 0.09, 0.15, 0.21, 0.27, 0.33, 0.39, 0.45, 0.51, 0.57}
            << u"[Warnung] S01E02: Der Versatz der deutschen Tonspur ändert sich gleichmäßig von "
               u"0.00 auf 0.60 Sekunden; die Geschwindigkeiten der Fassungen passen nicht "
               u"zusammen; wird beim Muxen ausgeglichen."_s
            << 0.0;
        QTest::newRow("the first segment alone: a cut at the start, the rest's offset undone")
            << QList<double>{1.2, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5}
            << cut.arg(u"1:00 min"_s, u"1.20"_s, u"0.50"_s) << 0.5;
        QTest::newRow("a segment alone amid the others: a stray")
            << QList<double>{0.5, 0.5, 0.5, 1.2, 0.5, 0.5} << shifted.arg(u"0.50"_s, u"zu spät"_s)
            << 0.5;
        QTest::newRow("two agree") << QList<double>{1, 1, noMatch, 5, noMatch} << notSure << none;
        QTest::newRow("three agree, but not most")
            << QList<double>{1, 1, 1, 5, -3, 9, 12} << notSure << none;
        QTest::newRow("groups take turns") << QList<double>{0, 0, 2, 2, 0, 0, 2} << notSure << none;
        QTest::newRow("nothing measured") << QList<double>{} << notSure << none;
    }

    // An offset is believed from three segments that agree, each matched at least 4.5
    // standard deviations above the other lags.
    void trustThresholds_data()
    {
        QTest::addColumn<QList<double>>("lags");
        QTest::addColumn<double>("score");
        QTest::addColumn<SyncPattern>("pattern");
        QTest::newRow("three agree at 4.5")
            << QList<double>{1, 1, 1} << 4.5 << SyncPattern::constant;
        QTest::newRow("three agree at 4.49")
            << QList<double>{1, 1, 1} << 4.49 << SyncPattern::unsure;
        QTest::newRow("two agree, no other segment")
            << QList<double>{1, 1} << 12.0 << SyncPattern::unsure;
        QTest::newRow("the last segment alone at 11.9: not believed")
            << QList<double>{0.5, 0.5, 0.5, 0.5, 1.7} << 11.9 << SyncPattern::constant;
        QTest::newRow("the last segment alone at 12: a cut near the end")
            << QList<double>{0.5, 0.5, 0.5, 0.5, 1.7} << 12.0 << SyncPattern::cut;
    }

    void trustThresholds()
    {
        QFETCH(QList<double>, lags);
        QFETCH(double, score);
        QFETCH(SyncPattern, pattern);
        QCOMPARE(assessSync(tenMinutes(lags, score)).pattern, pattern);
    }

    void judgement()
    {
        QFETCH(QList<double>, lags);
        QFETCH(QString, line);
        QFETCH(double, correction);
        const SyncVerdict verdict = judgeSync(u"S01E02"_s, tenMinutes(lags));
        QCOMPARE(verdict.findings.isEmpty() ? QString() : issueLine(verdict.findings.first()), line);
        QCOMPARE((verdict.correction ? verdict.correction->offsetWithoutSplices() : qQNaN()),
                 correction);
    }
};

QTEST_GUILESS_MAIN(SyncCheckTest)
#include "tst_synccheck.moc"
