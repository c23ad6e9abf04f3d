// Cuts repaired in the German audio and subtitles: markers line up before, between and after.
#include "analysis/PalSpeedup.h"
#include "inspect/MKVInspector.h"
#include "MarkerMedia.h"
#include "MuxOutcome.h"
#include "support/FakeTool.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(SoundFamily)
Q_DECLARE_METATYPE(QList<ReleaseEdit>)

namespace {

constexpr double filmSeconds = 40;
// Well away from every cut below and from where a splice may move to.
const QList<double> markers{4, 19, 30, 36};

// What the sync check would hand over for a release made with `cuts` and `lateSeconds`.
SyncCorrection correctionOf(double lateSeconds, const QList<ReleaseEdit> &cuts, double drift = 0)
{
    SyncCorrection correction{lateSeconds, drift};
    double lag = lateSeconds;
    for (const ReleaseEdit &cut : cuts) {
        correction.cuts << SyncCut{cut.atSeconds, lag, lag + cut.seconds};
        lag += cut.seconds;
    }
    return correction;
}

EpisodePair pairOf(const QString &english, const QString &german,
                   const QList<QUrl> &germanSidecars = {})
{
    return {u"S01E02"_s, EpisodeID{1, 2},
            MediaFile{QUrl::fromLocalFile(english), SourceKind::primary},
            MediaFile{QUrl::fromLocalFile(german), SourceKind::localized, EpisodeID{1, 2},
                      germanSidecars},
            PairStatus::ready};
}

MuxOutcome muxRepaired(MuxExecutor &executor, const EpisodePair &pair, const QString &output,
                       const SyncCorrection &correction, bool restorePitch = false)
{
    MKVInspector inspector;
    return muxAndWait(executor,
                      {pair, inspector.inspect(pair.primary->url),
                       inspector.inspect(pair.localized->url), QUrl::fromLocalFile(output),
                       correction, std::nullopt, restorePitch, true},
                      {}, 120000);
}

// Start times of the packets of stream `stream` (ffprobe's "s:0"), in seconds.
QList<double> packetStarts(const QString &file, const QString &stream)
{
    QList<double> starts;
    const ChildOutcome probe =
        runChild({u"/usr/bin/ffprobe"_s,
                  u"-v error -select_streams %1 -show_entries packet=pts_time -of csv=p=0 %2"_s
                      .arg(stream, file)
                      .split(u' ')});
    for (const QByteArray &line : probe.standardOutput.trimmed().split('\n'))
        starts << line.toDouble();
    return starts;
}

// A PGS stream that shows a one-pixel picture at each start and clears it at each end. Each
// segment after its header's times: type, size, payload (composition, window, palette, object,
// end; a composition of no object clears).
QByteArray pgsLines(const QList<std::pair<double, double>> &lines)
{
    const QList<const char *> shows{"16001307800438100001800000010000000000000000",
                                    "17000a01000000000000010001", "140007000001eb8080ff",
                                    "15000e000000c000000700010001010000", "800000"};
    const QList<const char *> clears{"16000b0780043810000200000000", shows[1], shows[4]};
    QByteArray sup;
    for (const auto &[start, end] : lines) {
        for (const auto &[at, set] : {std::pair(start, shows), std::pair(end, clears)}) {
            for (const char *segment : set) {
                QByteArray header("PG\0\0\0\0\0\0\0\0", 10);
                qToBigEndian(quint32(std::lround(at * 90000)), header.data() + 2);
                sup += header + QByteArray::fromHex(segment);
            }
        }
    }
    return sup;
}

} // namespace

// The German release of folder 2 differs from the English one by cuts; with the repair asked
// for, the German material follows the English film axis.
class CutRepairTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QHash<SoundFamily, QString> m_english; // folder-1 files, one per family

private slots:
    void initTestCase()
    {
        for (const auto &[family, name] : soundFamilies) {
            const QString path =
                m_root.filePath(u"eng-%1/Show.S01E02.mkv"_s.arg(QString::fromUtf8(name)));
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            const std::vector<float> soundtrack =
                markedSoundtrack(family, Language::english, filmSeconds + 5, markers);
            QVERIFY(!soundtrack.empty());
            QCOMPARE(writeEnglishRelease(path, soundtrack, filmSeconds), QString());
            m_english.insert(family, path);
        }
    }

    void markersLineUp_data()
    {
        QTest::addColumn<SoundFamily>("family");
        QTest::addColumn<bool>("pal");
        QTest::addColumn<double>("lateSeconds");
        QTest::addColumn<QList<ReleaseEdit>>("cuts");
        QTest::addColumn<bool>("restorePitch");
        QTest::addColumn<double>("drift"); // the German film runs 1 + drift times the English one
        // A drift is undone by a timing factor alone, without a conversion.
        QTest::newRow("effects: 0.5 % drift")
            << SoundFamily::effects << false << 0.5 << QList<ReleaseEdit>{} << false << 0.005;
        QTest::newRow("effects: 0.5 % drift plus PAL")
            << SoundFamily::effects << true << 0.5 << QList<ReleaseEdit>{} << false << 0.005;
        for (const auto &[family, name] : soundFamilies) {
            const auto row = [&](const char *what) -> QTestData & {
                return QTest::addRow("%s: %s", name, what) << family;
            };
            row("German longer at a cut: 1.6 s removed")
                << false << 0.0 << QList<ReleaseEdit>{{12, 1.6}} << false << 0.0;
            row("German shorter at a cut: 2.4 s of silence inserted")
                << false << 0.0 << QList<ReleaseEdit>{{12, -2.4}} << false << 0.0;
            row("two cuts, German late 0.3 s")
                << false << 0.3 << QList<ReleaseEdit>{{10, 1.5}, {24, -1.0}} << false << 0.0;
            row("a cut in a PAL release, stretched")
                << true << -0.4 << QList<ReleaseEdit>{{14, 2.0}} << false << 0.0;
            row("a cut in a PAL release, pitch restored in the same conversion")
                << true << -0.4 << QList<ReleaseEdit>{{14, 2.0}} << true << 0.0;
        }
    }

    void markersLineUp()
    {
        QFETCH(SoundFamily, family);
        QFETCH(bool, pal);
        QFETCH(double, lateSeconds);
        QFETCH(QList<ReleaseEdit>, cuts);
        QFETCH(bool, restorePitch);
        QFETCH(double, drift);
        const QTemporaryDir folder(m_root.filePath(u"case-XXXXXX"_s));
        const QString german = folder.filePath(u"S01E02.mkv"_s);
        const double stretch = (pal ? palTimingFactor : 1.0) / (1 + drift);
        // As long as the English file in its own time, so the running times show PAL.
        QCOMPARE(writeEditedRelease(
                     german, markedSoundtrack(family, Language::german, filmSeconds + 5, markers),
                     stretch, lateSeconds, cuts, filmSeconds / (pal ? palTimingFactor : 1.0),
                     u"-c:a flac -metadata:s:a:0 language=ger"_s.split(u' ')),
                 QString());
        QVERIFY(QDir(folder.path()).mkdir(u"out"_s));
        const QString output = folder.filePath(u"out"_s);
        MuxExecutor executor;
        const MuxOutcome outcome =
            muxRepaired(executor, pairOf(m_english.value(family), german), output,
                        correctionOf(lateSeconds * (1 + drift), cuts, drift), restorePitch);
        QVERIFY2(outcome.result, qPrintable(outcome.error));
        QCOMPARE(outcome.result->repairedSplices.size(), cuts.size());
        QCOMPARE(outcome.result->restoredAudioEncodings.size(), restorePitch ? 1 : 0);
        QCOMPARE(folderEntries(output), QStringList{u"S01E02.mkv"_s});

        const QString file = outcome.result->outputURL.toLocalFile();
        const QString misalignment = markerMisalignment(file, markers.size());
        QVERIFY2(misalignment.isEmpty(), qPrintable(misalignment));
    }

    // A silent German track, so the splices stay where the cuts were measured: 2.4 s removed
    // at 12 s, 1.6 s of silence inserted at 24 s.
    void subtitlesFollowTheSplices()
    {
        const QTemporaryDir folder(m_root.filePath(u"subtitles-XXXXXX"_s));
        const QString lines = u"1\n00:00:05,000 --> 00:00:06,000\nvorher\n\n"
                              u"2\n00:00:12,500 --> 00:00:13,500\nentfernt\n\n"
                              u"3\n00:00:18,000 --> 00:00:19,000\ndazwischen\n\n"
                              u"4\n00:00:31,600 --> 00:00:32,600\ndanach\n"_s;
        const QString embedded = writeTestFile(folder.filePath(u"embedded.srt"_s), lines.toUtf8());
        const QList<std::pair<double, double>> shown{{5, 6}, {12.5, 13.5}, {18, 19}, {31.6, 32.6}};
        const QString bitmaps = writeTestFile(folder.filePath(u"embedded.sup"_s), pgsLines(shown));
        const QString german = folder.filePath(u"S01E02.mkv"_s);
        QVERIFY(
            runChild(
                {u"/usr/bin/ffmpeg"_s,
                 u"-v error -copyts -f lavfi -i anullsrc=r=8000:cl=mono -i %1 -i %2 -t %3 -map 0:a "
                 u"-map 1:s -map 2:s -c:a flac -c:s:0 srt -c:s:1 copy -metadata:s:a:0 "
                 u"language=ger -metadata:s:s:0 language=ger -metadata:s:s:1 language=ger "
                 u"%4"_s.arg(embedded, bitmaps)
                     .arg(filmSeconds)
                     .arg(german)
                     .split(u' ')})
                .succeeded());
        // Bitmaps beside the file too, one picture more so they are no duplicate; a text file
        // there would replace the embedded ones.
        const QString sidecar = writeTestFile(folder.filePath(u"S01E02.de.sup"_s),
                                              pgsLines(QList{std::pair(1.0, 2.0)} + shown));
        QVERIFY(QDir(folder.path()).mkdir(u"out"_s));
        MuxExecutor executor;
        const MuxOutcome outcome = muxRepaired(
            executor,
            pairOf(m_english.value(SoundFamily::effects), german, {QUrl::fromLocalFile(sidecar)}),
            folder.filePath(u"out"_s), correctionOf(0, {{12, 2.4}, {21.6, -1.6}}));
        QVERIFY2(outcome.result, qPrintable(outcome.error));

        // The line in the removed stretch goes; the line between the cuts comes 2.4 s
        // earlier, the one after both 0.8 s earlier. Pictures are cleared at their ends.
        const QList<double> pictures{5, 6, 15.6, 16.6, 30.8, 31.8};
        const QList<double> streams[] = {{5, 15.6, 30.8}, pictures, QList<double>{1, 2} + pictures};
        const QString file = outcome.result->outputURL.toLocalFile();
        for (int s = 0; s < 3; ++s) {
            const QString stream = u"s:%1"_s.arg(s);
            const QList<double> starts = packetStarts(file, stream), &expected = streams[s];
            QCOMPARE(starts.size(), expected.size());
            for (qsizetype i = 0; i < expected.size(); ++i)
                QVERIFY2(std::abs(starts.at(i) - expected.at(i)) < 0.002,
                         qPrintable(u"%1: line %2 at %3 s"_s.arg(stream).arg(i).arg(starts.at(i))));
        }
    }

    // The cancel reaches ffmpeg while it splices: neither the converted track nor the
    // output's temporary file remains.
    void cancelDuringTheRepairLeavesNothing()
    {
        const QTemporaryDir folder(m_root.filePath(u"cancel-XXXXXX"_s));
        const QString german = folder.filePath(u"S01E02.mkv"_s);
        QCOMPARE(writeEditedRelease(german,
                                    markedSoundtrack(SoundFamily::effects, Language::german,
                                                     filmSeconds + 5, markers),
                                    1, 0, {{12, 1.6}}, filmSeconds,
                                    u"-c:a flac -metadata:s:a:0 language=ger"_s.split(u' ')),
                 QString());
        ToolLocations tools = ToolLocations::platformDefault();
        tools.ffmpegCandidates = {folder.filePath(u"ffmpeg"_s)};
        // Only the conversion hangs, after it has begun its file; the search decodes as usual.
        writeFakeTool(tools.ffmpegCandidates.first(),
                      "case \"$*\" in *-filter_complex*) ;; *) exec /usr/bin/ffmpeg \"$@\" ;; "
                      "esac\nfor last; do :; done\necho partial > \"$last\"\n" +
                          hangingToolBody);
        QVERIFY(QDir(folder.path()).mkdir(u"out"_s));
        const QString output = folder.filePath(u"out"_s);
        MuxExecutor executor(tools);
        pid_t converter = 0;
        QTimer::singleShot(0, [&] {
            converter = hangingToolProcess(tools.ffmpegCandidates.first());
            executor.cancel();
        });
        const MuxOutcome outcome =
            muxRepaired(executor, pairOf(m_english.value(SoundFamily::effects), german), output,
                        correctionOf(0, {{12, 1.6}}));
        QCOMPARE(outcome.errorKind, std::optional(MuxError::Kind::cancelled));
        QVERIFY(converter != 0);
        QCOMPARE(::kill(converter, 0), -1);
        QCOMPARE(folderEntries(output), QStringList());
    }
};

QTEST_GUILESS_MAIN(CutRepairTest)
#include "tst_cutrepair.moc"
