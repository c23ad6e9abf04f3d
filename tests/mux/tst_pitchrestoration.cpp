#include "analysis/PalSpeedup.h"
#include "inspect/MKVInspector.h"
#include "model/MuxMessages.h"
#include "mux/FilmSpeedAudio.h"
#include "mux/MuxError.h"
#include "mux/MuxExecutor.h"
#include "support/FakeTool.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ffmpeg = u"/usr/bin/ffmpeg"_s;
const QString ffprobe = u"/usr/bin/ffprobe"_s;
constexpr double filmTone = 1000.0; // Hz; PAL plays it at filmTone × 1001/960

QByteArray runOrFail(const QString &program, const QStringList &arguments)
{
    const ChildOutcome outcome = runChild({program, arguments});
    if (!outcome.succeeded())
        qFatal("%s failed: %s", qPrintable(program), outcome.standardError.constData());
    return outcome.standardOutput;
}

// A file of `seconds` with tiny video and one audio track: silence, then from `toneStart` a
// tone, encoded as `encoding` (ffmpeg's output options) with `layout` at `sampleRate`.
void makeToneFile(const QString &path, double seconds, double toneStart, double frequency,
                  const QString &encoding, const QString &layout = u"stereo"_s,
                  int sampleRate = 48000, const QString &language = u"ger"_s)
{
    const QString tone = u"sine=f=%1:r=%2:d=%3,volume=enable='lt(t,%4)':volume=0,"
                         u"aformat=channel_layouts=%5"_s.arg(frequency, 0, 'f', 3)
                             .arg(sampleRate)
                             .arg(seconds)
                             .arg(toneStart)
                             .arg(layout);
    runOrFail(ffmpeg,
              u"-nostdin -v error -y -f lavfi -i color=c=black:s=64x36:r=25:d=%1 -f lavfi "
              u"-i %2 -map 0:v -map 1:a -c:v mpeg4 -metadata:s:a:0 language=%3 -c:a"_s.arg(seconds)
                      .arg(tone, language)
                      .split(u' ') +
                  encoding.split(u' ') + QStringList{path});
}

std::vector<qint16> decodedMono(const QString &file, const QString &stream)
{
    const QByteArray pcm =
        runOrFail(ffmpeg, {u"-v"_s, u"error"_s, u"-i"_s, file, u"-map"_s, stream, u"-ac"_s, u"1"_s,
                           u"-ar"_s, u"48000"_s, u"-f"_s, u"s16le"_s, u"-"_s});
    std::vector<qint16> samples(pcm.size() / 2);
    qFromLittleEndian<qint16>(pcm.constData(), qsizetype(samples.size()), samples.data());
    return samples;
}

struct Tone {
    double onset = -1; // seconds
    double frequency = 0;
};

// Where the tone begins, and its frequency from the rising zero crossings of one second of it.
Tone measureTone(const QString &file, const QString &stream)
{
    const std::vector<qint16> samples = decodedMono(file, stream);
    int peak = 0;
    for (const qint16 sample : samples)
        peak = std::max(peak, std::abs(int(sample)));
    const auto loud = std::find_if(samples.cbegin(), samples.cend(),
                                   [&](qint16 sample) { return std::abs(sample) > peak / 2; });
    if (peak < 100)
        return {};
    const qsizetype start = (loud - samples.cbegin()) + 4800;
    const qsizetype end = std::min<qsizetype>(start + 48000, qsizetype(samples.size()));
    QList<qsizetype> crossings;
    for (qsizetype i = start + 1; i < end; ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0)
            crossings << i;
    }
    if (crossings.size() < 2)
        return {};
    return {(loud - samples.cbegin()) / 48000.0,
            (crossings.size() - 1) * 48000.0 / (crossings.last() - crossings.first())};
}

struct Packet {
    double start = 0;
    double duration = 0;
};

QList<Packet> packetsOf(const QString &file, const QString &stream)
{
    const QByteArray table =
        runOrFail(ffprobe, {u"-v"_s, u"error"_s, u"-select_streams"_s, stream, u"-show_entries"_s,
                            u"packet=pts_time,duration_time"_s, u"-of"_s, u"csv=p=0"_s, file});
    QList<Packet> packets;
    for (const QByteArray &line : table.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        if (fields.size() == 2)
            packets << Packet{fields[0].toDouble(), fields[1].toDouble()};
    }
    return packets;
}

double endOf(const QList<Packet> &packets)
{
    return packets.isEmpty() ? 0 : packets.last().start + packets.last().duration;
}

// The largest difference between where a packet starts and where the one before it ends.
double largestGap(const QList<Packet> &packets)
{
    double largest = 0;
    for (qsizetype i = 1; i < packets.size(); ++i)
        largest = std::max(largest, std::abs(packets[i].start - endOf(packets.mid(i - 1, 1))));
    return largest;
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
}

QString failureOf(const std::function<void()> &work)
{
    try {
        work();
    } catch (const MuxError &error) {
        return error.errorDescription();
    }
    return {};
}

} // namespace

class PitchRestorationTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_temporaryDirectory; // what the code under test sees as the temporary directory
    EpisodePair m_pair;
    std::optional<MediaInspection> m_primary, m_localized;

    // A folder of its own for each use, removed with the test.
    std::unique_ptr<QTemporaryDir> newFolder()
    {
        return std::make_unique<QTemporaryDir>(m_root.filePath(u"XXXXXX"_s));
    }

    std::optional<MuxResult> muxAndWait(MuxExecutor &executor, const QString &output,
                                        bool restorePitch, QString &error,
                                        const std::function<void()> &whileRunning = {},
                                        std::optional<double> localizedOffset = {})
    {
        QFuture<MuxResult> future =
            executor.mux(m_pair, m_primary, m_localized, QUrl::fromLocalFile(output), {},
                         localizedOffset, {}, restorePitch);
        if (whileRunning)
            whileRunning();
        if (!QTest::qWaitFor([&] { return future.isFinished(); }, 60000))
            qFatal("the mux did not end");
        try {
            return future.result();
        } catch (const MuxError &muxError) {
            error = muxError.errorDescription();
        }
        return std::nullopt;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        // 4.0 s of film against 3.84 s of PAL: the same tone starts at 1 s of film time.
        QVERIFY(QDir(m_root.path()).mkdir(u"eng"_s) && QDir(m_root.path()).mkdir(u"deu"_s));
        const QString english = m_root.filePath(u"eng/Show.S01E02.mkv"_s);
        const QString german = m_root.filePath(u"deu/S01E02.mkv"_s);
        makeToneFile(english, 4.0, 1.0, filmTone, u"ac3 -b:a 192k"_s, u"stereo"_s, 48000, u"eng"_s);
        makeToneFile(german, 3.84, 0.96, filmTone * palTimingFactor, u"ac3 -b:a 448k"_s,
                     u"5.1(side)"_s);
        const QString sidecar = QFileInfo(german).dir().filePath(u"S01E02.de.srt"_s);
        QFile subtitle(sidecar);
        QVERIFY(subtitle.open(QIODevice::WriteOnly));
        subtitle.write("1\n00:00:00,960 --> 00:00:02,000\nSchild\n\n");
        subtitle.close();
        m_pair = EpisodePair{
            u"S01E02"_s, EpisodeID{1, 2},
            MediaFile{QUrl::fromLocalFile(english), SourceKind::primary, EpisodeID{1, 2}},
            MediaFile{QUrl::fromLocalFile(german),
                      SourceKind::localized,
                      EpisodeID{1, 2},
                      {QUrl::fromLocalFile(sidecar)}},
            PairStatus::ready};
        MKVInspector inspector;
        m_primary = inspector.inspect(m_pair.primary->url);
        m_localized = inspector.inspect(m_pair.localized->url);
        // Set last: the media above are not the code's temporary files.
        m_temporaryDirectory = m_root.filePath(u"tmp"_s);
        QVERIFY(QDir(m_root.path()).mkdir(u"tmp"_s));
        qputenv("TMPDIR", QFile::encodeName(m_temporaryDirectory));
    }

    void cleanup() { QCOMPARE(entriesOf(m_temporaryDirectory), QStringList()); }

    void palPairMeasured_data()
    {
        QTest::addColumn<bool>("restorePitch");
        QTest::addColumn<double>("measuredOffset"); // German late by, seconds; 0: none
        QTest::addColumn<double>("germanFrequency");
        QTest::addColumn<bool>("gapFree");
        // When the German tone starts after the English one, decoded sample by sample from
        // the track's first timestamp, as players that ignore gaps do.
        QTest::addColumn<double>("germanLag");
        QTest::newRow("restored: film pitch, no gaps, in sync")
            << true << 0.0 << filmTone << true << 0.0;
        QTest::newRow("restored, German 0.25 s early: the offset still undone")
            << true << -0.25 << filmTone << true << 0.25;
        QTest::newRow("stretched only: PAL pitch, a gap after every frame, ahead without them")
            << false << 0.0 << filmTone * palTimingFactor << false << -0.04;
    }

    void palPairMeasured()
    {
        QFETCH(bool, restorePitch);
        QFETCH(double, measuredOffset);
        QFETCH(double, germanFrequency);
        QFETCH(bool, gapFree);
        QFETCH(double, germanLag);
        MuxExecutor executor;
        const auto outputFolder = newFolder();
        const QString output = outputFolder->path();
        QString error;
        const std::optional<MuxResult> result =
            muxAndWait(executor, output, restorePitch, error, {},
                       measuredOffset != 0 ? std::optional(measuredOffset) : std::nullopt);
        QVERIFY2(result, qPrintable(error));
        const QString file = result->outputURL.toLocalFile();

        const MediaInspection written = MKVInspector().inspect(result->outputURL);
        QStringList tracks;
        for (const MediaTrack &track : written.tracks)
            tracks << u"%1 %2 %3"_s.arg(rawValue(track.type), track.language.value_or(u"-"_s))
                          .arg(track.defaultTrack);
        QCOMPARE(tracks, (QStringList{u"video und 0"_s, u"audio ger 1"_s, u"audio eng 0"_s,
                                      u"subtitles ger 0"_s}));

        const QList<Packet> germanPackets = packetsOf(file, u"a:0"_s);
        const double germanStart = germanPackets.value(0).start;
        const Tone german = measureTone(file, u"0:a:0"_s);
        const Tone english = measureTone(file, u"0:a:1"_s);
        QVERIFY2(std::abs(german.frequency / germanFrequency - 1) < 0.005,
                 qPrintable(u"%1 Hz"_s.arg(german.frequency)));
        QVERIFY2(
            std::abs(germanStart + german.onset - english.onset - germanLag) < 0.02,
            qPrintable(
                u"German %1 s, English %2 s"_s.arg(germanStart + german.onset).arg(english.onset)));
        // Undoing the offset delays all German material by as much.
        const double delay = -measuredOffset;
        const double videoEnd = endOf(packetsOf(file, u"v:0"_s));
        QVERIFY2(std::abs(endOf(germanPackets) - videoEnd - delay) <= 0.04,
                 qPrintable(u"German audio ends at %1 s"_s.arg(endOf(germanPackets))));
        QCOMPARE(largestGap(germanPackets) <= 0.0001, gapFree);
        // The subtitle cue keeps its stretch back to film time either way.
        QVERIFY(std::abs(packetsOf(file, u"s:0"_s).value(0).start - 0.96 * palTimingFactor -
                         delay) < 0.002);

        const QString note = u"S01E02: Deutsche Tonspur auf Filmgeschwindigkeit und "
                             u"Originaltonhöhe gebracht (AC-3, 448 kbit/s)."_s;
        const QList<AnalysisIssue> issues = muxResultIssues(u"S01E02"_s, *result);
        QCOMPARE(std::count_if(issues.cbegin(), issues.cend(),
                               [&](const AnalysisIssue &issue) { return issue.message == note; }),
                 restorePitch ? 1 : 0);
    }

    void encodingFollowsTheSource_data()
    {
        QTest::addColumn<QString>("sourceEncoding"); // ffmpeg's options
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<QString>("expectedCodec"); // as ffprobe names it
        QTest::addColumn<QString>("expectedDescription");
        QTest::newRow("AC-3 5.1 at its bit rate")
            << u"ac3 -b:a 448k"_s << u"5.1(side)"_s << 48000 << u"ac3"_s << u"AC-3, 448 kbit/s"_s;
        QTest::newRow("E-AC-3 stereo")
            << u"eac3 -b:a 224k"_s << u"stereo"_s << 48000 << u"eac3"_s << u"E-AC-3, 224 kbit/s"_s;
        QTest::newRow("AAC 7.1 without a stated bit rate")
            << u"aac"_s << u"7.1"_s << 48000 << u"aac"_s << u"AAC, 448 kbit/s"_s;
        QTest::newRow("AAC mono at 22.05 kHz")
            << u"aac"_s << u"mono"_s << 22050 << u"aac"_s << u"AAC, 192 kbit/s"_s;
        QTest::newRow("FLAC stays lossless")
            << u"flac"_s << u"stereo"_s << 44100 << u"flac"_s << u"FLAC"_s;
        QTest::newRow("DTS, which ffmpeg cannot encode soundly, becomes FLAC")
            << u"dca -strict -2"_s << u"5.1(side)"_s << 48000 << u"flac"_s << u"FLAC"_s;
    }

    void encodingFollowsTheSource()
    {
        QFETCH(QString, sourceEncoding);
        QFETCH(QString, layout);
        QFETCH(int, sampleRate);
        QFETCH(QString, expectedCodec);
        QFETCH(QString, expectedDescription);
        const auto folder = newFolder();
        const QString source = folder->filePath(u"source.mkv"_s);
        const QString converted = folder->filePath(u"film.mka"_s);
        makeToneFile(source, 2.0, 0.5, filmTone * palTimingFactor, sourceEncoding, layout,
                     sampleRate);

        const AudioEncoding encoding = convertToFilmSpeed(
            {ffmpeg, ffprobe, QUrl::fromLocalFile(source), 0, converted, 2.0}, {60000});
        QCOMPARE(encoding.description(), expectedDescription);
        const QStringList format = [&](const QString &file) {
            return QString::fromUtf8(
                       runOrFail(ffprobe,
                                 {u"-v"_s, u"error"_s, u"-select_streams"_s, u"a:0"_s,
                                  u"-show_entries"_s, u"stream=codec_name,channels,sample_rate"_s,
                                  u"-of"_s, u"csv=p=0"_s, file}))
                .trimmed()
                .split(u',');
        }(converted);
        QCOMPARE(format.value(0), expectedCodec);
        QCOMPARE(format.value(1), QString::number(sampleRate));
        QCOMPARE(format.value(2).toInt(), layout == u"mono"     ? 1
                                          : layout == u"stereo" ? 2
                                          : layout == u"7.1"    ? 8
                                                                : 6);
        const Tone before = measureTone(source, u"0:a:0"_s);
        const Tone after = measureTone(converted, u"0:a:0"_s);
        QVERIFY2(std::abs(after.frequency / filmTone - 1) < 0.005,
                 qPrintable(u"%1 Hz"_s.arg(after.frequency)));
        QVERIFY2(std::abs(after.onset - before.onset * palTimingFactor) < 0.02,
                 qPrintable(u"%1 s against %2 s"_s.arg(after.onset).arg(before.onset)));
    }

    void conversionFailures_data()
    {
        QTest::addColumn<QString>("ffmpegScript"); // empty: the real ffmpeg
        QTest::addColumn<bool>("emptyTrack");
        QTest::addColumn<QString>("reason");
        QTest::newRow("ffmpeg fails: its last line of error output")
            << u"echo 'Stream mapping: …' >&2\necho 'Error writing trailer of film.mka: No space "
               u"left on device' >&2\nexit 1"_s
            << false << u"Error writing trailer of film.mka: No space left on device"_s;
        QTest::newRow("ffmpeg crashes")
            << u"kill -SEGV $$"_s << false << u"ffmpeg wurde durch Signal 11 beendet"_s;
        QTest::newRow("ffmpeg hangs")
            << QString::fromUtf8(hangingToolBody) << false
            << u"ffmpeg lief länger als die erlaubten 2 s und wurde beendet."_s;
        QTest::newRow("a track without a single frame")
            << QString() << true << u"Die Tonspur enthält keinen Ton."_s;
    }

    void conversionFailures()
    {
        QFETCH(QString, ffmpegScript);
        QFETCH(bool, emptyTrack);
        QFETCH(QString, reason);
        const auto folder = newFolder();
        const QString tone = folder->filePath(u"tone.mka"_s);
        const QString source = folder->filePath(u"source.mkv"_s);
        makeToneFile(tone, 1.0, 0.0, filmTone, u"ac3"_s);
        // mkvmerge keeps a track whose every frame a negative delay cut off.
        runOrFail(u"/usr/bin/mkvmerge"_s, {u"-q"_s, u"-o"_s, source, u"--sync"_s,
                                           emptyTrack ? u"1:-100000"_s : u"1:0"_s, tone});
        const QString program =
            ffmpegScript.isEmpty()
                ? ffmpeg
                : writeFakeTool(folder->filePath(u"ffmpeg"_s), ffmpegScript.toUtf8());
        const QString error = failureOf([&] {
            convertToFilmSpeed({program, ffprobe, QUrl::fromLocalFile(source), 0,
                                folder->filePath(u"film.mka"_s), 1.0},
                               {2000});
        });
        QCOMPARE(error, u"Die deutsche Tonspur ließ sich nicht umrechnen: "_s + reason);
    }

    void pairFailsWithoutLeftovers_data()
    {
        QTest::addColumn<QString>("ffmpegScript"); // empty: no ffmpeg at all
        QTest::addColumn<QString>("expectedError");
        // Each script first leaves a file where ffmpeg would write.
        const QString partial = u"for last; do :; done\necho partial > \"$last\"\n"_s;
        QTest::newRow("no ffmpeg")
            << QString()
            << u"Die deutsche Tonspur ließ sich nicht umrechnen: ffmpeg und "
               u"ffprobe werden dafür gebraucht, wurden aber nicht gefunden."_s;
        QTest::newRow("ffmpeg fails")
            << partial + u"echo 'film.mka: No space left on device' >&2\nexit 1"_s
            << u"Die deutsche Tonspur ließ sich nicht umrechnen: film.mka: No space left on "
               u"device"_s;
        QTest::newRow("cancelled while ffmpeg converts")
            << partial + QString::fromUtf8(hangingToolBody)
            << u"Die Verarbeitung wurde abgebrochen."_s;
    }

    void pairFailsWithoutLeftovers()
    {
        QFETCH(QString, ffmpegScript);
        QFETCH(QString, expectedError);
        ToolLocations locations = ToolLocations::platformDefault();
        const auto tools = newFolder();
        const QString fake = tools->filePath(u"ffmpeg"_s);
        locations.ffmpegCandidates = {
            ffmpegScript.isEmpty() ? fake : writeFakeTool(fake, ffmpegScript.toUtf8())};
        MuxExecutor executor(locations);
        const auto outputFolder = newFolder();
        const QString output = outputFolder->path();
        pid_t converter = 0;
        QString error;
        const std::optional<MuxResult> result = muxAndWait(executor, output, true, error, [&] {
            if (!ffmpegScript.contains(u"sleep"))
                return;
            converter = hangingToolProcess(fake);
            executor.cancel();
        });
        QVERIFY(!result);
        QCOMPARE(error, expectedError);
        QCOMPARE(entriesOf(output), QStringList());
        if (converter)
            QCOMPARE(::kill(converter, 0), -1);
    }
};

QTEST_GUILESS_MAIN(PitchRestorationTest)
#include "tst_pitchrestoration.moc"
