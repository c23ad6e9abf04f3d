// What the mux makes of a measured drift or cut: the --sync values, the notes, the timing of the result.
#include "ArgumentValues.h"
#include "analysis/PalSpeedup.h"
#include "inspect/MKVInspector.h"
#include "MarkerMedia.h"
#include "model/MuxMessages.h"
#include "MuxOutcome.h"
#include "mux/PlanDescription.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

MediaTrack track(qint64 id, TrackType type, const QString &language)
{
    return MediaTrack{.id = id, .type = type, .codec = u"FLAC"_s, .language = language};
}

} // namespace

// What the mux makes of a measured drift or cut, decided before any tool runs.
class TimingCorrectionTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_output;

    // A 100-second English episode; the German one runs 100 s, or 96 s at PAL speed, with two
    // audio tracks.
    MuxRequest request(bool pal, const SyncCorrection &correction, bool restorePitch,
                       bool repairCuts)
    {
        const EpisodePair pair{u"S01E02"_s, EpisodeID{1, 2},
                               MediaFile{QUrl::fromLocalFile(u"/eng/S01E02.mkv"_s)},
                               MediaFile{QUrl::fromLocalFile(u"/deu/S01E02.mkv"_s),
                                         SourceKind::localized},
                               PairStatus::ready};
        return {pair,
                             MediaInspection{pair.primary->url,
                                             100,
                                             {track(0, TrackType::video, u"und"_s),
                                              track(1, TrackType::audio, u"eng"_s)}},
                             MediaInspection{pair.localized->url,
                                             pal ? 96 : 100,
                                             {track(0, TrackType::video, u"und"_s),
                                              track(1, TrackType::audio, u"deu"_s),
                                              track(2, TrackType::audio, u"deu"_s)}},
                             QUrl::fromLocalFile(m_output.path()), correction, std::nullopt,
                             restorePitch, repairCuts};
    }

    MuxPlan plan(bool pal, const SyncCorrection &correction, bool restorePitch, bool repairCuts)
    {
        return buildMuxPlan(request(pal, correction, restorePitch, repairCuts), ToolDiscovery());
    }

private slots:
    // A drift is a factor on every folder-2 track, with the offset at the start; nothing is
    // converted for it.
    void driftIsAFactor_data()
    {
        QTest::addColumn<bool>("pal");
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("drift");
        QTest::addColumn<bool>("restorePitch");
        QTest::addColumn<QStringList>("syncValues"); // German tracks in input order
        QTest::addColumn<QString>("note");
        QTest::newRow("0.1 % drift, German 1.2 s late")
            << false << 1.2 << 0.001 << false
            << QStringList{u"1:-1199,1000000000/1001000000"_s, u"2:-1199,1000000000/1001000000"_s}
            << u"S01E02: Gleichmäßigen Tonversatz von 1.20 auf 1.30 Sekunden ausgeglichen."_s;
        QTest::newRow("drift plus PAL: both in one factor")
            << true << 0.0 << -0.0144 << false
            << QStringList{u"1:0,1001000000/946176000"_s, u"2:0,1001000000/946176000"_s}
            << u"S01E02: Gleichmäßigen Tonversatz von 0.00 auf -1.44 Sekunden ausgeglichen."_s;
        QTest::newRow("drift plus PAL, pitch restored: the converted tracks keep the drift")
            << true << 0.0 << -0.0144 << true
            << QStringList{u"0:0,1000000000/985600000"_s, u"0:0,1000000000/985600000"_s}
            << u"S01E02: Gleichmäßigen Tonversatz von 0.00 auf -1.44 Sekunden ausgeglichen."_s;
    }

    void driftIsAFactor()
    {
        QFETCH(bool, pal);
        QFETCH(double, offset);
        QFETCH(double, drift);
        QFETCH(bool, restorePitch);
        QFETCH(QStringList, syncValues);
        QFETCH(QString, note);
        const MuxPlan result = plan(pal, SyncCorrection{offset, drift}, restorePitch, false);
        QCOMPARE(valuesOf(result.arguments, u"--sync"_s), syncValues);
        QCOMPARE(result.audio.conversions.size(), restorePitch ? 2 : 0);
        const QList<AnalysisIssue> issues = muxResultIssues(u"S01E02"_s, MuxResult::of(result));
        QVERIFY(std::any_of(issues.cbegin(), issues.cend(),
                            [&](const AnalysisIssue &issue) { return issue.message == note; }));
    }

    // Without a believable repair, only the offset before the first cut is undone.
    void repairOnlyWhenBelievable_data()
    {
        QTest::addColumn<bool>("repairCuts");
        QTest::addColumn<QList<SyncCut>>("cuts");
        QTest::addColumn<bool>("repaired");
        QTest::newRow("repair not asked for") << false << QList<SyncCut>{{60, 0.3, 1.9}} << false;
        QTest::newRow("1.6 s removed at 1:00 min") << true << QList<SyncCut>{{60, 0.3, 1.9}} << true;
        QTest::newRow("more than ten minutes to remove")
            << true << QList<SyncCut>{{60, 0.3, 610.4}} << false;
        QTest::newRow("more than ten minutes of silence to insert")
            << true << QList<SyncCut>{{60, 0.3, -600.0}} << false;
        QTest::newRow("a cut in the first second") << true << QList<SyncCut>{{0.5, 0.3, 1}} << false;
        QTest::newRow("the second splice could land in the first one's removed stretch")
            << true << QList<SyncCut>{{60, 0.3, 2.3}, {61.5, 2.3, 3.3}} << false;
        QTest::newRow("two cuts far enough apart")
            << true << QList<SyncCut>{{60, 0.3, 2.3}, {70, 2.3, 1.3}} << true;
    }

    void repairOnlyWhenBelievable()
    {
        QFETCH(bool, repairCuts);
        QFETCH(QList<SyncCut>, cuts);
        QFETCH(bool, repaired);
        const MuxRequest asked = request(false, SyncCorrection{0.3, 0, cuts}, false, repairCuts);
        const MuxPlan result = buildMuxPlan(asked, ToolDiscovery());
        // One conversion per German track, each taking the offset as the others do.
        QCOMPARE(result.audio.conversions.size(), repaired ? 2 : 0);
        QCOMPARE(result.repairedSplices.size(), repaired ? cuts.size() : 0);
        const QStringList syncValues = repaired ? QStringList{u"0:-300"_s, u"0:-300"_s}
                                                : QStringList{u"1:-300"_s, u"2:-300"_s};
        QCOMPARE(valuesOf(result.arguments, u"--sync"_s), syncValues);
        for (const GermanAudioConversion &conversion : result.audio.conversions)
            QVERIFY(conversion.fileName.startsWith(u".spurenflechter-"_s));
        // The plan shown beforehand says so: spliced only, at these cuts.
        qsizetype converted = 0;
        for (const PlannedTrack &track : describeMuxPlan(result, asked).tracks) {
            if (track.conversion) {
                ++converted;
                QCOMPARE(track.conversion->kind, u"cutRepair"_s);
                QCOMPARE(track.timing.repairSplices, cuts);
            }
        }
        QCOMPARE(converted, result.audio.conversions.size());
    }
};

QTEST_GUILESS_MAIN(TimingCorrectionTest)
#include "tst_timingcorrection.moc"
