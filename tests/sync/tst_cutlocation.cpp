// Cuts located to the frame on generated releases of each family.
#include "analysis/PalSpeedup.h"
#include "support/SyncMedia.h"
#include "sync/AudioDecoding.h"
#include "sync/CutLocation.h"
#include "sync/SyncChecker.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <random>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(SoundFamily)
Q_DECLARE_METATYPE(SyncPattern)
Q_DECLARE_METATYPE(QList<ReleaseEdit>)

namespace {

// Seven segments of 30 s back to back: a cut in the fourth or fifth still leaves three agreeing
// segments on one side and two on the other, the fewest the check believes.
constexpr double episodeSeconds = 210;
const SyncSegmentLayout layout{30, 7};
constexpr double filmSeconds = episodeSeconds + 10;
constexpr double pal = palTimingFactor;
const QString ffmpeg = u"/usr/bin/ffmpeg"_s;
// Short releases of each family in which one jump is placed, between the segments at 10 s and 50 s.
constexpr double shortSeconds = 60;

} // namespace

class CutLocationTest final : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::vector<float> germanSoundtrack;
    // Short German soundtracks by their English release's file name.
    QHash<QString, std::vector<float>> shortSoundtracks;

    QString file(const QString &name) const { return dir.filePath(name); }

    // The English release of a short soundtrack, written once, and its German soundtrack.
    QString shortRelease(SoundFamily family, unsigned seed, bool roomTone)
    {
        const QString english =
            file(u"english-%1-%2-%3.flac"_s.arg(int(family)).arg(seed).arg(int(roomTone)));
        if (!shortSoundtracks.contains(english)) {
            const float tone = roomTone ? 0.03f : 0.0f; // about -35 dBFS of low noise
            shortSoundtracks[english] =
                makeSoundtrack(family, Language::german, seed, shortSeconds + 5, tone);
            const QString failed = writeRelease(
                english, makeSoundtrack(family, Language::english, seed, shortSeconds + 5, tone),
                {}, shortSeconds);
            if (!failed.isEmpty())
                qWarning() << failed;
        }
        return english;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        const auto english = makeSoundtrack(SoundFamily::music, Language::english, 5, filmSeconds);
        germanSoundtrack = makeSoundtrack(SoundFamily::music, Language::german, 5, filmSeconds);
        QVERIFY(!english.empty() && !germanSoundtrack.empty());
        QCOMPARE(writeRelease(file(u"english.flac"_s), english, {}, episodeSeconds), QString());
    }

    // A jump placed where shared sound of the family runs through the cut (and, for German
    // material missing, through the end of the English material it lacks): there the tracks
    // tell to a frame which lag the sound follows, even where both languages speak over the
    // room tone. In a pause of one language between silent events, every boundary within it
    // fits alike: not placed. Nor are two cuts that the segments see as one jump.
    void placesJumps_data()
    {
        QTest::addColumn<SoundFamily>("family");
        QTest::addColumn<unsigned>("seed");
        QTest::addColumn<bool>("roomTone"); // under the events, shared by both languages
        QTest::addColumn<double>("at");
        QTest::addColumn<double>("extra"); // German seconds more at the cut (negative: fewer)
        QTest::addColumn<bool>("placed");
        QTest::addColumn<double>("secondExtra"); // at a second cut 8 s of film later; 0: none
        const auto effects = SoundFamily::effects, speech = SoundFamily::speech,
                   music = SoundFamily::music;
        QTest::newRow("effects, German longer")
            << effects << 5u << true << 15.46 << 1.6 << true << 0.0;
        QTest::newRow("effects, German shorter")
            << effects << 5u << true << 15.46 << -4.57 << true << 0.0;
        QTest::newRow("speech, German longer")
            << speech << 5u << true << 22.43 << 1.6 << true << 0.0;
        QTest::newRow("speech, German shorter")
            << speech << 5u << true << 22.43 << -2.34 << true << 0.0;
        QTest::newRow("speech, amid the dialogue of both")
            << speech << 1u << true << 42.89 << 0.76 << true << 0.0;
        QTest::newRow("music, German longer") << music << 5u << false << 15.0 << 1.6 << true << 0.0;
        QTest::newRow("music, German shorter")
            << music << 5u << false << 15.0 << -1.5 << true << 0.0;
        QTest::newRow("German longer, in a pause")
            << effects << 5u << false << 16.13 << 1.6 << false << 0.0;
        QTest::newRow("German shorter, in a pause")
            << effects << 5u << false << 16.13 << -2.78 << false << 0.0;
        QTest::newRow("German sound at the end of a pause: not placed in it")
            << effects << 15u << false << 36.24 << -1.06 << false << 0.0;
        QTest::newRow("music, two cuts 8 s apart: no single place fits, not placed")
            << music << 5u << false << 30.0 << -1.5 << false << -0.6;
        // Held notes a second apart agree by chance over their whole length, with one sign.
        QTest::newRow("music, two cuts amid held notes: not placed")
            << music << 9u << false << 32.151 << -1.846 << false << -1.065;
    }

    void placesJumps()
    {
        QFETCH(SoundFamily, family);
        QFETCH(unsigned, seed);
        QFETCH(bool, roomTone);
        QFETCH(double, at);
        QFETCH(double, extra);
        QFETCH(bool, placed);
        QFETCH(double, secondExtra);
        const QString english = shortRelease(family, seed, roomTone);
        const QString path = file(QString::fromUtf8(QTest::currentDataTag()) + u".flac"_s);
        QList<ReleaseEdit> edits{{at, extra}};
        if (secondExtra != 0)
            edits << ReleaseEdit{at + std::max(0.0, -extra) + 8, secondExtra};
        const double jumpSeconds = extra + secondExtra;
        QCOMPARE(writeEditedRelease(path, shortSoundtracks[english], 1, 0.3, edits,
                                    shortSeconds + jumpSeconds),
                 QString());
        // Between segments at 10 s and 50 s, which see two cuts as one jump.
        const SyncJump jump{0, 0.3, 0.3 + jumpSeconds, 10, 50};
        const QList<CutLocation> found = locateCuts(
            {QUrl::fromLocalFile(english), 0, shortSeconds},
            {QUrl::fromLocalFile(path), 0, shortSeconds + jumpSeconds}, {ffmpeg}, {.cuts = {jump}});
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().englishSeconds.has_value(), placed);
        if (placed)
            QCOMPARE_LE(std::abs(*found.first().englishSeconds - at), 0.05);
    }

    // Between two scenes both releases fall silent for a second, and at a cut in that pause the
    // German one plays an extra scene that begins and ends in silence, or lacks part of the
    // pause. No boundary in the pause explains the audio better than another, but while the
    // German track is silent there at both lags, each splices the same sound; a German voice
    // in the pause makes the place matter.
    void splicesInASharedSilence_data()
    {
        QTest::addColumn<double>("extra"); // German seconds more at the cut (negative: fewer)
        QTest::addColumn<bool>("germanVoiceInPause");
        QTest::addColumn<bool>("placed");
        QTest::newRow("German longer, silent in both: spliced in the pause")
            << 2.4 << false << true;
        QTest::newRow("German shorter, silent in both: spliced in the pause")
            << -0.4 << false << true;
        QTest::newRow("a German voice in the pause: not placed") << 2.4 << true << false;
    }

    void splicesInASharedSilence()
    {
        QFETCH(double, extra);
        QFETCH(bool, germanVoiceInPause);
        QFETCH(bool, placed);
        constexpr double silenceFrom = 20, silenceTo = 21, cutAt = 20.4, late = 0.3;
        constexpr double fadeSilence = 0.8; // at either end of an extra scene
        std::minstd_rand random(7);
        std::uniform_int_distribution<int> noise(-8000, 8000);
        const auto second = [](double seconds) { return std::size_t(seconds * syncSampleRate); };
        JumpAudio audio;
        audio.english.resize(second(40));
        for (std::size_t n = 0; n < audio.english.size(); ++n)
            audio.english[n] =
                n >= second(silenceFrom) && n < second(silenceTo) ? 0 : noise(random);
        // The German file: the film `late`, the extra scene inserted at the cut, or the
        // missing part of the film left out.
        audio.german.assign(second(late), 0);
        audio.german.insert(audio.german.end(), audio.english.begin(),
                            audio.english.begin() + std::ptrdiff_t(second(cutAt)));
        if (extra > 0) {
            std::vector<std::int16_t> scene(second(extra), 0);
            for (std::size_t n = second(fadeSilence); n < second(extra - fadeSilence); ++n)
                scene[n] = std::int16_t(noise(random));
            audio.german.insert(audio.german.end(), scene.begin(), scene.end());
        }
        audio.german.insert(audio.german.end(),
                            audio.english.begin() +
                                std::ptrdiff_t(second(cutAt - std::min(extra, 0.0))),
                            audio.english.end());
        if (germanVoiceInPause) {
            for (std::size_t n = second(20.1 + late); n < second(20.3 + late); ++n)
                audio.german[n] =
                    std::int16_t(6000 * std::sin(2 * M_PI * 180 * double(n) / syncSampleRate));
        }

        const std::optional<double> found = locateJump(audio, late, late + extra);
        QCOMPARE(found.has_value(), placed);
        if (placed) {
            QCOMPARE_GE(*found, silenceFrom);
            QCOMPARE_LE(*found, silenceTo);
        }
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
        QTest::newRow("German longer: located to the frame")
            << 1.0 << 0.3 << QList<ReleaseEdit>{{100, 1.6}} << SyncPattern::cut << false << true;
        QTest::newRow("German shorter amid held notes: located to the frame")
            << 1.0 << 0.5 << QList<ReleaseEdit>{{137, -2.4}} << SyncPattern::cut << false << true;
        QTest::newRow("extra material hides PAL speed from the running times")
            << pal << -0.4 << QList<ReleaseEdit>{{100, 1.2}} << SyncPattern::cut << true << true;
        QTest::newRow("a cut in the first minute, seen by the first segment alone")
            << 1.0 << 0.3 << QList<ReleaseEdit>{{40, 1.6}} << SyncPattern::cut << false << true;
        QTest::newRow("a cut in the last minute, seen by the last segment alone")
            << 1.0 << 0.3 << QList<ReleaseEdit>{{185, -1.6}} << SyncPattern::cut << false << true;
        QTest::newRow("two cuts between the same segments: one jump, not spliced")
            << 1.0 << 0.3 << QList<ReleaseEdit>{{100, 1.6}, {111, 1.0}} << SyncPattern::cut << false
            << false;
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
        double seconds = episodeSeconds; // the German file runs as long as the film it plays
        for (const ReleaseEdit &edit : edits)
            seconds += edit.seconds;
        seconds /= stretch;
        QCOMPARE(writeEditedRelease(german, germanSoundtrack, stretch, late, edits, seconds),
                 QString());
        SyncCheckOptions options{ffmpeg};
        options.localizedStretch = showsPalSpeedup(episodeSeconds, seconds) ? pal : 1.0;
        const SyncMeasurement measurement =
            measureAndLocate({QUrl::fromLocalFile(file(u"english.flac"_s)), 0, episodeSeconds},
                             {QUrl::fromLocalFile(german), 0, seconds}, options, layout);
        const SyncVerdict verdict = judgeSync(u"S01E02"_s, measurement);

        QCOMPARE(verdict.assessment.pattern, pattern);
        QCOMPARE(measurement.stretchHeard, heard);
        QVERIFY(verdict.correction);
        QCOMPARE(verdict.correction->palSpeedHeard, heard);
        // Measured on the axis the check stretched the German file to: a release that plays
        // slower than that drifts later by the difference.
        // Unspliced, a cut in the first minute leaves the episode at the offset after it; a
        // splice starts on the offset before.
        const double speed = measurement.localizedStretch / stretch;
        const double unspliced =
            late + (edits.value(0).atSeconds < 60 ? edits.value(0).seconds : 0);
        const double opening = pattern == SyncPattern::constant ? unspliced : late;
        QCOMPARE_LE(std::abs(verdict.correction->offsetSeconds - opening * speed), 0.02);
        QCOMPARE_LE(std::abs(verdict.correction->offsetWithoutSplices() - unspliced * speed), 0.02);
        QCOMPARE_LE(std::abs(verdict.correction->driftPerSecond - (speed - 1)), 5e-5);
        // Cuts closer together than the segments show as one jump.
        QCOMPARE(verdict.assessment.cuts.size(), pattern == SyncPattern::cut ? 1 : 0);
        const QList<SyncCut> &cuts = verdict.correction->cuts;
        QCOMPARE(cuts.size(), located ? edits.size() : 0);
        for (qsizetype i = 0; i < cuts.size(); ++i) {
            QCOMPARE_LE(std::abs(cuts.at(i).englishSeconds - edits.at(i).atSeconds), 0.05);
            QCOMPARE_LE(std::abs(cuts.at(i).extraGermanSeconds() - edits.at(i).seconds), 0.02);
        }
    }
};

QTEST_GUILESS_MAIN(CutLocationTest)
#include "tst_cutlocation.moc"
