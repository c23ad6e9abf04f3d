// One German track converted to film speed: the encoding it gets, and the track converted.
#include "analysis/PalSpeedup.h"
#include "inspect/MKVInspector.h"
#include "mux/FilmSpeedAudio.h"
#include "mux/MuxError.h"
#include "support/TestInspection.h"
#include "support/ToneMedia.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ffmpeg = u"/usr/bin/ffmpeg"_s;
const QString ffprobe = u"/usr/bin/ffprobe"_s;
const QString mkvmerge = u"/usr/bin/mkvmerge"_s;

} // namespace

class FilmSpeedAudioTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_temporaryDirectory; // what the code under test sees as the temporary directory

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(m_root.path()).mkdir(u"tmp"_s));
        m_temporaryDirectory = m_root.filePath(u"tmp"_s);
        qputenv("TMPDIR", QFile::encodeName(m_temporaryDirectory));
    }

    void cleanup() { QCOMPARE(folderEntries(m_temporaryDirectory), QStringList()); }

    // AC-3 at its stated bit rate, not the default for 5.1: the PAL pair of the pitch restoration
    // tests.
    void encodingFollowsTheSource_data()
    {
        QTest::addColumn<QString>("sourceEncoding"); // ffmpeg's options
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<QString>("expectedCodec");       // as ffprobe names it; empty: refused
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
        const AudioEncoding encoding =
            convertToFilmSpeed({ffmpeg, ffprobe, mkvmerge, QUrl::fromLocalFile(source),
                                inspection.tracks.at(1).id, converted, 2.0},
                               {60000});
        QCOMPARE(encoding.description(), u"FLAC"_s);
        QVERIFY(std::abs(measureTone(converted, u"0:a:0"_s, 0.5).frequency / filmTone - 1) < 0.005);
    }
};

QTEST_GUILESS_MAIN(FilmSpeedAudioTest)
#include "tst_filmspeedaudio.moc"
