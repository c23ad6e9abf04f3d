// The pitch comparison on generated PAL releases of both kinds, and the hints it gives.
#include "analysis/PalSpeedup.h"
#include "support/PitchMedia.h"
#include "sync/SyncSegments.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(SoundFamily)
Q_DECLARE_METATYPE(PalKind)
Q_DECLARE_METATYPE(PitchKind)
Q_DECLARE_METATYPE(std::optional<double>)

namespace {

// Three segments of 30 s back to back: the fewest that agree, long enough for speech under
// quiet effects to show its pitch.
constexpr double episodeSeconds = 90;
const SyncSegmentLayout tinyLayout{30, 3};
constexpr double filmSeconds = episodeSeconds + 5;
const std::pair<SoundFamily, QString> families[] = {{SoundFamily::effects, u"effects"_s},
                                                    {SoundFamily::speech, u"speech"_s},
                                                    {SoundFamily::music, u"music"_s}};

} // namespace

class PitchTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString file(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const auto &[family, name] : families) {
            const auto english = makeSoundtrack(family, Language::english, 7, filmSeconds);
            const auto german = makeSoundtrack(family, Language::german, 7, filmSeconds);
            const auto unrelated = makeSoundtrack(family, Language::german, 8, filmSeconds);
            QVERIFY(!english.empty() && !german.empty() && !unrelated.empty());
            const double palSeconds = episodeSeconds / palTimingFactor;
            QCOMPARE(writeRelease(file(name + u"-en.mka"_s), english, {}, episodeSeconds),
                     QString());
            // The dub starts late, so that only the aligned stretches agree.
            QCOMPARE(writePalRelease(file(name + u"-raised.mka"_s), german, PalKind::raised, 1.5,
                                     palSeconds),
                     QString());
            QCOMPARE(writePalRelease(file(name + u"-tempo.mka"_s), german, PalKind::tempoOnly, 1.5,
                                     palSeconds),
                     QString());
            QCOMPARE(writePalRelease(file(name + u"-unrelated.mka"_s), unrelated, PalKind::raised,
                                     0, palSeconds),
                     QString());
        }
    }

    void hearsWhichKindOfDub_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("release");
        QTest::addColumn<PitchKind>("kind");
        QTest::addColumn<double>("semitones");
        for (const auto &[family, name] : families) {
            const QByteArray row = name.toUtf8();
            QTest::newRow(row + ": sped up with its pitch")
                << name << u"raised"_s << PitchKind::raised << palSemitones;
            QTest::newRow(row + ": sped up at the film's pitch")
                << name << u"tempo"_s << PitchKind::corrected << 0.0;
            QTest::newRow(row + ": unrelated audio")
                << name << u"unrelated"_s << PitchKind::unsure << qQNaN();
        }
    }

    void hearsWhichKindOfDub()
    {
        QFETCH(QString, family);
        QFETCH(QString, release);
        QFETCH(PitchKind, kind);
        QFETCH(double, semitones);
        SyncCheckOptions options;
        options.ffmpeg = u"/usr/bin/ffmpeg"_s;
        options.localizedStretch = palTimingFactor;
        const SyncMeasurement measurement =
            measureSync({QUrl::fromLocalFile(file(family + u"-en.mka"_s)), 0, episodeSeconds},
                        {QUrl::fromLocalFile(file(u"%1-%2.mka"_s.arg(family, release))), 0,
                         episodeSeconds / palTimingFactor},
                        options, tinyLayout);
        const PitchVerdict verdict = judgePitch(measurement);
        QString shifts;
        for (const SyncSegment &segment : measurement.segments)
            shifts += segment.pitch ? u" %1 (%2)"_s.arg(segment.pitch->semitones, 0, 'f', 3)
                                          .arg(segment.pitch->score, 0, 'f', 1)
                                    : u" –"_s;
        QVERIFY2(verdict.kind == kind, qPrintable(shifts));
        if (!std::isnan(semitones))
            QVERIFY2(std::abs(*verdict.semitones - semitones) < 0.1, qPrintable(shifts));
    }

    void hintsNameTheKind_data()
    {
        QTest::addColumn<PitchVerdict>("verdict");
        QTest::addColumn<bool>("pal");
        QTest::addColumn<QString>("hint");
        QTest::newRow("PAL, raised")
            << PitchVerdict{PitchKind::raised, 0.7249} << true
            << u"S01E02: Die deutsche Tonspur klingt um 0.72 Halbtöne zu hoch "
               u"(PAL-Beschleunigung ohne Tonhöhenkorrektur)."_s;
        QTest::newRow("PAL, corrected")
            << PitchVerdict{PitchKind::corrected, 0.01} << true
            << u"S01E02: Die Tonhöhe der deutschen Tonspur ist bereits korrigiert; es wird nur "
               u"das Tempo angepasst."_s;
        const QString unsure =
            u"S01E02: Die Tonhöhe der deutschen Tonspur ließ sich nicht sicher bestimmen."_s;
        QTest::newRow("PAL, no agreement") << PitchVerdict{} << true << unsure;
        QTest::newRow("PAL, agreed on another shift")
            << PitchVerdict{PitchKind::unsure, -0.5} << true << unsure;
        QTest::newRow("film speed, at the film's pitch")
            << PitchVerdict{PitchKind::corrected, 0.02} << false << QString();
        QTest::newRow("film speed, no agreement") << PitchVerdict{} << false << QString();
        QTest::newRow("film speed, clearly off")
            << PitchVerdict{PitchKind::unsure, 1.1} << false << unsure;
        QTest::newRow("film speed, clearly raised")
            << PitchVerdict{PitchKind::raised, 0.731} << false
            << u"S01E02: Die deutsche Tonspur klingt um 0.73 Halbtöne zu hoch "
               u"(PAL-Beschleunigung ohne Tonhöhenkorrektur)."_s;
    }

    void hintsNameTheKind()
    {
        QFETCH(PitchVerdict, verdict);
        QFETCH(bool, pal);
        QFETCH(QString, hint);
        const std::optional<AnalysisIssue> found = pitchFinding(u"S01E02"_s, verdict, pal);
        QCOMPARE(found ? found->message : QString(), hint);
        if (found)
            QCOMPARE(found->severity, AnalysisIssueSeverity::information);
    }
};

QTEST_GUILESS_MAIN(PitchTest)
#include "tst_pitch.moc"
