// Cuts located to the frame and the corrections a check hands the mux, on generated releases.
#include "analysis/PalSpeedup.h"
#include "model/IssueLine.h"
#include "support/SyncMedia.h"
#include "sync/SyncChecker.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(SoundFamily)
Q_DECLARE_METATYPE(SyncPattern)
Q_DECLARE_METATYPE(QList<ReleaseEdit>)

namespace {

constexpr double episodeSeconds = 300;
// Ten segments of 30 s back to back: two cuts still leave two agreeing segments each side.
const SyncSegmentLayout layout{30, 10};
constexpr double filmSeconds = episodeSeconds + 10;
constexpr double pal = palTimingFactor;
const QString ffmpeg = u"/usr/bin/ffmpeg"_s;
const std::pair<SoundFamily, const char *> families[] = {{SoundFamily::effects, "effects"},
                                                         {SoundFamily::speech, "speech"},
                                                         {SoundFamily::music, "music"}};

// The German file runs as long as the film it plays, unless told.
double germanSeconds(double stretch, const QList<ReleaseEdit> &edits)
{
    double seconds = episodeSeconds;
    for (const ReleaseEdit &edit : edits)
        seconds += edit.seconds;
    return seconds / stretch;
}

} // namespace

class CutLocationTest final : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QHash<SoundFamily, std::vector<float>> germanSoundtracks;

    QString file(const QString &name) const { return dir.filePath(name); }
    static QString englishName(SoundFamily family) { return u"english-%1.flac"_s.arg(int(family)); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        for (const auto &[family, name] : families) {
            const auto english = makeSoundtrack(family, Language::english, 5, filmSeconds);
            germanSoundtracks[family] = makeSoundtrack(family, Language::german, 5, filmSeconds);
            QVERIFY(!english.empty() && !germanSoundtracks[family].empty());
            QCOMPARE(writeRelease(file(englishName(family)), english, {}, episodeSeconds),
                     QString());
        }
    }

    // `stretch` is how the German release plays the film: PAL speed, a slightly slow
    // transfer, or both; the check is told of PAL speed only as the running times show it.
    void locatesEveryCut_data()
    {
        QTest::addColumn<SoundFamily>("family");
        QTest::addColumn<double>("stretch");
        QTest::addColumn<double>("late");
        QTest::addColumn<QList<ReleaseEdit>>("edits");
        QTest::addColumn<SyncPattern>("pattern");
        QTest::addColumn<bool>("heard"); // PAL speed heard, not read from the running times
        for (const auto &[family, name] : families) {
            QTest::addRow("%s: German longer", name)
                << family << 1.0 << 0.3 << QList<ReleaseEdit>{{100, 1.6}} << SyncPattern::cut
                << false;
            QTest::addRow("%s: German shorter", name)
                << family << 1.0 << 0.5 << QList<ReleaseEdit>{{137, -2.4}} << SyncPattern::cut
                << false;
            QTest::addRow("%s: two cuts", name)
                << family << 1.0 << 0.0 << QList<ReleaseEdit>{{75, 1.2}, {215, -3.0}}
                << SyncPattern::cut << false;
            QTest::addRow("%s: cut at PAL speed", name)
                << family << pal << 1.0 << QList<ReleaseEdit>{{130, 0.4}} << SyncPattern::cut
                << false;
            QTest::addRow("%s: cut hiding PAL speed from the running times", name)
                << family << pal << -0.4 << QList<ReleaseEdit>{{160, 2.4}} << SyncPattern::cut
                << true;
        }
        QTest::newRow("effects: 0.1 % slow") << SoundFamily::effects << 0.999 << 0.2
                                             << QList<ReleaseEdit>{} << SyncPattern::drift << false;
        QTest::newRow("music: 0.1 % slow at PAL speed")
            << SoundFamily::music << pal * 0.999 << 0.0 << QList<ReleaseEdit>{}
            << SyncPattern::drift << false;
    }

    void locatesEveryCut()
    {
        QFETCH(SoundFamily, family);
        QFETCH(double, stretch);
        QFETCH(double, late);
        QFETCH(QList<ReleaseEdit>, edits);
        QFETCH(SyncPattern, pattern);
        QFETCH(bool, heard);
        const QString german = file(QString::fromUtf8(QTest::currentDataTag()) + u".flac"_s);
        const double seconds = germanSeconds(stretch, edits);
        QCOMPARE(writeEditedRelease(german, germanSoundtracks.value(family), stretch, late, edits,
                                    seconds),
                 QString());
        SyncCheckOptions options{ffmpeg};
        options.localizedStretch = showsPalSpeedup(episodeSeconds, seconds) ? pal : 1.0;
        const SyncMeasurement measurement = measureAndLocate(
            {QUrl::fromLocalFile(file(englishName(family))), 0, episodeSeconds},
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
        // 0.015 s over the episode.
        QCOMPARE_LE(std::abs(verdict.correction->driftPerSecond - (speed - 1)), 5e-5);
        QCOMPARE(verdict.assessment.cuts.size(), edits.size());
        // A cut the audio does not place clearly is left alone, never spliced in a guessed place.
        const QList<SyncCut> &cuts = verdict.correction->cuts;
        QVERIFY(cuts.isEmpty() || cuts.size() == edits.size());
        double lag = late;
        for (qsizetype i = 0; i < cuts.size(); ++i) {
            const SyncCut &cut = cuts.at(i);
            qInfo("cut %lld: at %.3f s, %.3f s off", i + 1, cut.englishSeconds,
                  cut.englishSeconds - edits.at(i).atSeconds);
            QCOMPARE_LE(std::abs(cut.englishSeconds - edits.at(i).atSeconds), 0.05);
            QCOMPARE_LE(std::abs(cut.fromLagSeconds - lag), 0.02);
            lag += edits.at(i).seconds;
            QCOMPARE_LE(std::abs(cut.toLagSeconds - lag), 0.02);
        }
    }
};

QTEST_GUILESS_MAIN(CutLocationTest)
#include "tst_cutlocation.moc"
