#include "analysis/PalSpeedup.h"
#include "inspect/MKVInspector.h"
#include "mux/FilmSpeedAudio.h"
#include "mux/MuxError.h"
#include "MuxOutcome.h"
#include "support/FakeTool.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ffmpeg = u"/usr/bin/ffmpeg"_s;
const QString ffprobe = u"/usr/bin/ffprobe"_s;
const QString mkvmerge = u"/usr/bin/mkvmerge"_s;
constexpr double filmTone = 1000.0; // Hz; PAL plays it at filmTone × 1001/960

QByteArray runOrFail(const QString &program, const QString &arguments)
{
    const ChildOutcome outcome = runChild({program, arguments.split(u' ')});
    if (!outcome.succeeded())
        qFatal("%s failed: %s", qPrintable(program), outcome.standardError.constData());
    return outcome.standardOutput.trimmed();
}

// Tiny video and one audio track of `seconds`, silent until `toneStart`, then a tone; the
// audio encoded with `encoding` (ffmpeg's options) in `layout` at `rate`.
void makeToneFile(const QString &path, double seconds, double toneStart, double frequency,
                  const QString &encoding, const QString &layout = u"stereo"_s, int rate = 48000,
                  const QString &language = u"ger"_s)
{
    runOrFail(ffmpeg,
              u"-v error -f lavfi -i color=s=64x36:r=25:d=%1 -f lavfi -i sine=f=%2:r=%3:d=%1,"
              u"volume=enable='lt(t,%4)':volume=0,aformat=channel_layouts=%5 -map 0:v "
              u"-map 1:a -c:v mpeg4 -metadata:s:a:0 language=%6 -c:a %7 %8"_s.arg(seconds)
                  .arg(frequency, 0, 'f', 3)
                  .arg(rate)
                  .arg(toneStart)
                  .arg(layout, language, encoding, path));
}

struct Tone {
    double onset = 0; // seconds
    double frequency = 0;
};

// Mixed to mono and measured by ffmpeg's own filters: when the tone begins, and its frequency
// from the zero crossings per sample in the second from `from` on.
Tone measureTone(const QString &file, const QString &stream, double from)
{
    const QString log = QString::fromUtf8(
        runChild(
            {ffmpeg, u"-hide_banner -nostats -i %1 -map %2 -af "
                     u"aformat=channel_layouts=mono,aresample=48000,"
                     u"silencedetect=n=-50dB:d=0.1,atrim=start=%3:duration=1,astats -f null -"_s
                         .arg(file, stream)
                         .arg(from)
                         .split(u' ')})
            .standardError);
    static const QRegularExpression onset(u"silence_end: ([0-9.]+)"_s);
    static const QRegularExpression crossingsPerSample(u"Zero crossings rate: ([0-9.]+)"_s);
    return {onset.match(log).captured(1).toDouble(),
            crossingsPerSample.match(log).captured(1).toDouble() * 48000 / 2};
}

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
    QString m_temporaryDirectory; // what the code under test sees as the temporary directory
    bool m_temporaryIsSmall = false; // a 1 MB file system of its own
    EpisodePair m_pair;
    std::optional<MediaInspection> m_primary, m_localized;

private slots:
    void initTestCase()
    {
        // 4.0 s of film against 3.84 s of PAL: the same tone starts at 1 s of film time.
        for (const QString &folder : {u"eng"_s, u"deu"_s, u"tmp"_s})
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
        m_temporaryDirectory = m_root.filePath(u"tmp"_s);
        // The converted tracks must not need the temporary folder's room.
        m_temporaryIsSmall =
            runChild({u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=1m"_s, u"tmpfs"_s,
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
        QTest::addColumn<double>("measuredOffset"); // German late by, seconds
        QTest::addColumn<double>("germanFrequency");
        QTest::addColumn<bool>("gapFree");
        QTest::newRow("restored, German 0.25 s early: film pitch, no gaps, the offset undone")
            << true << -0.25 << filmTone << true;
        QTest::newRow("stretched only, German 0.25 s late: PAL pitch, a gap after every frame")
            << false << 0.25 << filmTone * palTimingFactor << false;
    }

    void palPairMeasured()
    {
        QFETCH(bool, restorePitch);
        QFETCH(double, measuredOffset);
        QFETCH(double, germanFrequency);
        QFETCH(bool, gapFree);
        MuxExecutor executor;
        QTemporaryDir output(m_root.filePath(u"out-XXXXXX"_s));
        const MuxOutcome outcome = muxAndWait(
            executor, m_pair, m_primary, m_localized, output.path(), {}, {},
            measuredOffset != 0 ? std::optional(measuredOffset) : std::nullopt, restorePitch);
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

    // AC-3 at its stated bit rate, not the default for 5.1: the PAL pair above.
    void encodingFollowsTheSource_data()
    {
        QTest::addColumn<QString>("sourceEncoding"); // ffmpeg's options
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<QString>("expectedCodec"); // as ffprobe names it; empty: refused
        QTest::addColumn<QString>("expectedDescription"); // or the reason of the refusal
        QTest::addColumn<int>("kilobits"); // at most: the source's rate, measured from its packets
        QTest::newRow("AAC 7.1 without a stated bit rate")
            << u"aac -b:a 320k"_s << u"7.1"_s << 48000 << u"aac"_s << u"AAC"_s << 320;
        QTest::newRow("Opus mono without a stated bit rate")
            << u"libopus -b:a 24k"_s << u"mono"_s << 48000 << u"opus"_s << u"Opus"_s << 24;
        QTest::newRow("DTS, which ffmpeg cannot encode soundly, becomes FLAC")
            << u"dca -strict -2"_s << u"5.1(side)"_s << 48000 << u"flac"_s << u"FLAC"_s << 0;
        QTest::newRow("Vorbis mono at 8 kHz, refused by its encoder at its own rate: FLAC")
            << u"libvorbis"_s << u"mono"_s << 8000 << u"flac"_s
            << u"FLAC, da der Vorbis-Encoder die Spur ablehnt"_s << 0;
        QTest::newRow("12 channels, more than FLAC holds")
            << u"pcm_s16le"_s << u"0xfff"_s << 48000 << QString()
            << u"Die deutsche Tonspur ließ sich nicht umrechnen: Die Tonspur hat 12 Kanäle; "
               u"mehr als 8 lassen sich nicht umrechnen."_s
            << 0;
    }

    void encodingFollowsTheSource()
    {
        QFETCH(QString, sourceEncoding);
        QFETCH(QString, layout);
        QFETCH(int, sampleRate);
        QFETCH(QString, expectedCodec);
        QFETCH(QString, expectedDescription);
        QFETCH(int, kilobits);
        const QTemporaryDir folder(m_root.filePath(u"codec-XXXXXX"_s));
        const QString source = folder.filePath(u"source.mkv"_s);
        const QString converted = folder.filePath(u"film.mka"_s);
        makeToneFile(source, 2.0, 0.5, filmTone * palTimingFactor, sourceEncoding, layout,
                     sampleRate);

        AudioEncoding encoding;
        try {
            encoding = convertToFilmSpeed(
                {ffmpeg, ffprobe, mkvmerge, QUrl::fromLocalFile(source), 1, converted, 2.0},
                {60000});
        } catch (const MuxError &error) {
            QCOMPARE(error.errorDescription(), expectedDescription);
            QVERIFY(expectedCodec.isEmpty());
            return;
        }
        QCOMPARE(encoding.description().section(u", "_s, 0, kilobits ? 0 : -1),
                 expectedDescription);
        QCOMPARE(encoding.kilobitsPerSecond.has_value(), kilobits > 0);
        if (kilobits)
            QVERIFY2(*encoding.kilobitsPerSecond <= kilobits, qPrintable(encoding.description()));
        QCOMPARE(runOrFail(ffprobe, u"-v error -show_entries stream=codec_name,sample_rate,"
                                    u"channel_layout -of csv=p=0 "_s +
                                        converted),
                 u"%1,%2,%3"_s.arg(expectedCodec).arg(sampleRate).arg(layout).toUtf8());
        const Tone before = measureTone(source, u"0:a:0"_s, 0.7);
        const Tone after = measureTone(converted, u"0:a:0"_s, 0.7);
        QVERIFY2(std::abs(after.frequency / filmTone - 1) < 0.005,
                 qPrintable(u"%1 Hz"_s.arg(after.frequency)));
        // Vorbis at 8 kHz smears its own onset; FLAC's timing is the DTS row's.
        if (encoding.refusedBy.isEmpty())
            QVERIFY2(std::abs(after.onset - before.onset * palTimingFactor) < 0.02,
                     qPrintable(u"%1 s against %2 s"_s.arg(after.onset).arg(before.onset)));
    }

    // An AC-3 track without frames, which mkvmerge leaves out and ffmpeg counts, before the
    // German track: the track mkvmerge names is the one converted.
    void convertsTheTrackMkvmergeNames()
    {
        const QTemporaryDir folder(m_root.filePath(u"shift-XXXXXX"_s));
        const QString source = folder.filePath(u"source.mkv"_s);
        runOrFail(ffmpeg, u"-v error -f lavfi -i color=s=64x36:d=2 -f lavfi -i sine=d=2 -f lavfi "
                          u"-i sine=f=%1:d=2 -filter_complex [1:a]atrim=end_sample=0[e] -map 0:v "
                          u"-map [e] -map 2:a -c:v mpeg4 -c:a:0 ac3 -c:a:1 pcm_s16le %2"_s
                              .arg(filmTone * palTimingFactor)
                              .arg(source));
        MKVInspector inspector;
        const MediaInspection inspection = inspector.inspect(QUrl::fromLocalFile(source));
        QCOMPARE(inspection.tracks.size(), 2);
        const QString converted = folder.filePath(u"film.mka"_s);
        const AudioEncoding encoding = convertToFilmSpeed(
            {ffmpeg, ffprobe, mkvmerge, QUrl::fromLocalFile(source), inspection.tracks.at(1).id,
             converted, 2.0},
            {60000});
        QCOMPARE(encoding.description(), u"FLAC"_s);
        QVERIFY(std::abs(measureTone(converted, u"0:a:0"_s, 0.5).frequency / filmTone - 1) < 0.005);
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
