// PAL pairs muxed with their German audio restored to film speed and pitch, or only stretched.
#include "analysis/PalSpeedup.h"
#include "inspect/MKVInspector.h"
#include "mux/MuxError.h"
#include "MuxOutcome.h"
#include "support/FakeTool.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"
#include "support/ToneMedia.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ffmpeg = u"/usr/bin/ffmpeg"_s;
const QString ffprobe = u"/usr/bin/ffprobe"_s;

struct TrackTiming {
    double start = 0;
    double end = 0;
    double largestGap = 0; // between where a packet starts and where the one before it ended
};

TrackTiming timingOf(const QString &file, const QString &stream)
{
    std::optional<TrackTiming> timing;
    for (const QByteArray &line :
         runOrFail(ffprobe, u"-v error -select_streams %1 -show_entries "
                            u"packet=pts_time,duration_time -of csv=p=0 %2"_s.arg(stream, file))
             .split('\n')) {
        const double start = line.split(',').value(0).toDouble();
        if (!timing)
            timing = TrackTiming{start, start};
        timing->largestGap = std::max(timing->largestGap, std::abs(start - timing->end));
        timing->end = start + line.split(',').value(1).toDouble();
    }
    return timing.value_or(TrackTiming{});
}

} // namespace

class PitchRestorationTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_temporaryDirectory;    // what the code under test sees as the temporary directory
    bool m_temporaryIsSmall = false; // a 1 MB file system of its own
    EpisodePair m_pair;
    std::optional<MediaInspection> m_primary, m_localized;
    std::optional<MediaInspection> m_pitchKept; // a PAL dub already at the film's pitch

private slots:
    void initTestCase()
    {
        // 4.0 s of film against 3.84 s of PAL: the same tone starts at 1 s of film time.
        for (const QString &folder : {u"eng"_s, u"deu"_s, u"kept"_s, u"tmp"_s})
            QVERIFY(QDir(m_root.path()).mkdir(folder));
        const QString english = m_root.filePath(u"eng/Show.S01E02.mkv"_s);
        const QString german = m_root.filePath(u"deu/S01E02.mkv"_s);
        makeToneFile(english, 4.0, 1.0, filmTone, u"ac3"_s, u"stereo"_s, 48000, u"eng"_s);
        makeToneFile(german, 3.84, 0.96, filmTone * palTimingFactor, u"ac3 -b:a 384k"_s,
                     u"5.1(side)"_s);
        const QString sidecar = writeTestFile(m_root.filePath(u"deu/S01E02.de.srt"_s),
                                              "1\n00:00:00,960 --> 00:00:02,000\nSchild\n\n");
        m_pair = EpisodePair{u"S01E02"_s, EpisodeID{1, 2},
                             MediaFile{QUrl::fromLocalFile(english), SourceKind::primary},
                             MediaFile{QUrl::fromLocalFile(german),
                                       SourceKind::localized,
                                       EpisodeID{1, 2},
                                       {QUrl::fromLocalFile(sidecar)}},
                             PairStatus::ready};
        m_primary = MKVInspector().inspect(m_pair.primary->url);
        m_localized = MKVInspector().inspect(m_pair.localized->url);
        const QString pitchKept = m_root.filePath(u"kept/S01E02.mkv"_s);
        makeToneFile(pitchKept, 3.84, 0.96, filmTone, u"ac3 -b:a 384k"_s, u"5.1(side)"_s);
        m_pitchKept = MKVInspector().inspect(QUrl::fromLocalFile(pitchKept));
        m_temporaryDirectory = m_root.filePath(u"tmp"_s);
        // The converted tracks must not need the temporary folder's room.
        m_temporaryIsSmall = runChild({u"mount"_s,
                                       {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=1m"_s, u"tmpfs"_s,
                                        m_temporaryDirectory}})
                                 .succeeded();
        qputenv("TMPDIR", QFile::encodeName(m_temporaryDirectory));
    }

    void cleanupTestCase()
    {
        if (m_temporaryIsSmall)
            QVERIFY(runChild({u"umount"_s, {m_temporaryDirectory}}).succeeded());
    }

    void cleanup() { QCOMPARE(folderEntries(m_temporaryDirectory), QStringList()); }

    // 4 MB of lossless 5.1 noise, with the temporary folder on a 1 MB file system.
    void conversionNeedsNoTemporaryRoom()
    {
        if (!m_temporaryIsSmall)
            QSKIP("mounting a small file system is not permitted here");
        const QTemporaryDir sources(m_root.filePath(u"noise-XXXXXX"_s));
        EpisodePair pair = m_pair;
        pair.localized = MediaFile{QUrl::fromLocalFile(sources.filePath(u"S01E02.mkv"_s)),
                                   SourceKind::localized};
        runOrFail(ffmpeg, u"-v error -f lavfi -i color=s=64x36:r=25:d=3.84 -f lavfi -i "
                          u"anoisesrc=d=3.84:r=48000,aformat=channel_layouts=5.1(side) -c:v mpeg4 "
                          u"-c:a pcm_s16le -metadata:s:a:0 language=ger "_s +
                              pair.localized->url.toLocalFile());
        const MediaInspection localized = MKVInspector().inspect(pair.localized->url);
        MuxExecutor executor;
        QTemporaryDir output(m_root.filePath(u"out-XXXXXX"_s));
        const MuxOutcome outcome =
            muxAndWait(executor, pair, m_primary, localized, output.path(), {}, {}, {}, true);
        QVERIFY2(outcome.result, qPrintable(outcome.error));
        QCOMPARE(outcome.result->restoredAudioEncodings, QStringList{u"FLAC"_s});
        QCOMPARE(folderEntries(output.path()), QStringList{u"S01E02.mkv"_s});
    }

    void palPairMeasured_data()
    {
        QTest::addColumn<bool>("restorePitch");
        QTest::addColumn<bool>("pitchKept"); // the dub was heard at the film's pitch already
        QTest::addColumn<double>("measuredOffset"); // German late by, seconds
        QTest::addColumn<double>("germanFrequency");
        QTest::addColumn<bool>("gapFree");
        QTest::newRow("restored, German 0.25 s early: film pitch, no gaps, the offset undone")
            << true << false << -0.25 << filmTone << true;
        QTest::newRow("restored in tempo only: the film pitch stays, no gaps")
            << true << true << -0.25 << filmTone << true;
        QTest::newRow("stretched only, German 0.25 s late: PAL pitch, a gap after every frame")
            << false << false << 0.25 << filmTone * palTimingFactor << false;
    }

    void palPairMeasured()
    {
        QFETCH(bool, restorePitch);
        QFETCH(bool, pitchKept);
        QFETCH(double, measuredOffset);
        QFETCH(double, germanFrequency);
        QFETCH(bool, gapFree);
        MuxExecutor executor;
        QTemporaryDir output(m_root.filePath(u"out-XXXXXX"_s));
        EpisodePair pair = m_pair;
        if (pitchKept)
            pair.localized->url = m_pitchKept->file;
        const MuxOutcome outcome =
            muxAndWait(executor, pair, m_primary, pitchKept ? m_pitchKept : m_localized,
                       output.path(), {}, {}, measuredOffset, restorePitch, pitchKept);
        QVERIFY2(outcome.result, qPrintable(outcome.error));
        const QString file = outcome.result->outputURL.toLocalFile();

        // The restored German audio keeps the source's codec, rate and channels.
        QCOMPARE(runOrFail(ffprobe, u"-v error -show_entries stream=codec_name,codec_type,"
                                    u"sample_rate,channel_layout:stream_disposition=default:"
                                    u"stream_tags=language -of csv=p=0 "_s +
                                        file),
                 "mpeg4,video,0\nac3,audio,48000,5.1(side),1,ger\nac3,audio,48000,stereo,0,eng\n"
                 "subrip,subtitle,0,ger");
        QCOMPARE(outcome.result->restoredAudioEncodings,
                 restorePitch ? QStringList{u"AC-3, 384 kbit/s"_s} : QStringList());
        QCOMPARE(outcome.result->restoredPitchKept, pitchKept);

        const TrackTiming german = timingOf(file, u"a:0"_s);
        const Tone germanTone = measureTone(file, u"0:a:0"_s, 1.3);
        const Tone englishTone = measureTone(file, u"0:a:1"_s, 1.3);
        QVERIFY2(std::abs(germanTone.frequency / germanFrequency - 1) < 0.005,
                 qPrintable(u"%1 Hz"_s.arg(germanTone.frequency)));
        // Undoing the offset delays all German material by as much.
        const double delay = -measuredOffset;
        const double lag = germanTone.onset - englishTone.onset;
        QVERIFY2(std::abs(lag - delay) < 0.02, qPrintable(u"%1 s"_s.arg(lag)));
        QCOMPARE(german.largestGap <= 0.0001, gapFree);
        const double videoEnd = timingOf(file, u"v:0"_s).end;
        QVERIFY2(std::abs(german.end - videoEnd - delay) <= 0.04,
                 qPrintable(u"%1 s"_s.arg(german.end)));
        // The subtitle cue keeps its stretch back to film time.
        QVERIFY(std::abs(timingOf(file, u"s:0"_s).start - 0.96 * palTimingFactor - delay) < 0.002);
    }

    void pairFailsWithoutLeftovers_data()
    {
        QTest::addColumn<QString>("ffmpegScript"); // empty: no ffmpeg at all
        QTest::addColumn<QString>("expectedError");
        const QString reason = u"Die deutsche Tonspur ließ sich nicht umrechnen: "_s;
        QTest::newRow("no ffmpeg") << QString()
                                   << reason + u"ffmpeg und ffprobe werden dafür gebraucht, "
                                               u"wurden aber nicht gefunden."_s;
        QTest::newRow("ffmpeg fails: its error output")
            << u"echo 'Stream mapping: …' >&2\necho 'film.mka: No space left on device' >&2\n"
               u"exit 1"_s
            << reason + u"Stream mapping: …\nfilm.mka: No space left on device"_s;
        QTest::newRow("cancelled while ffmpeg converts")
            << QString::fromUtf8(hangingToolBody) << u"Die Verarbeitung wurde abgebrochen."_s;
    }

    void pairFailsWithoutLeftovers()
    {
        QFETCH(QString, ffmpegScript);
        QFETCH(QString, expectedError);
        const QTemporaryDir tools(m_root.filePath(u"tools-XXXXXX"_s));
        ToolLocations locations = ToolLocations::platformDefault();
        locations.ffmpegCandidates = {tools.filePath(u"ffmpeg"_s)};
        // Each stand-in first leaves a file where ffmpeg would write.
        if (!ffmpegScript.isEmpty())
            writeFakeTool(locations.ffmpegCandidates.first(),
                          "for last; do :; done\necho partial > \"$last\"\n" +
                              ffmpegScript.toUtf8());
        MuxExecutor executor(locations);
        QTemporaryDir output(m_root.filePath(u"out-XXXXXX"_s));
        pid_t converter = 0;
        if (ffmpegScript == QString::fromUtf8(hangingToolBody)) {
            QTimer::singleShot(0, [&] {
                converter = hangingToolProcess(locations.ffmpegCandidates.first());
                executor.cancel();
            });
        }
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primary, m_localized, output.path(), {}, {}, {}, true);
        QCOMPARE(outcome.error, expectedError);
        QCOMPARE(folderEntries(output.path()), QStringList());
        if (converter)
            QCOMPARE(::kill(converter, 0), -1);
    }
};

QTEST_GUILESS_MAIN(PitchRestorationTest)
#include "tst_pitchrestoration.moc"
