// The command line muxes a pair whose German audio is late with the audio moved back.
#include "analysis/PalSpeedup.h"
#include "support/SyncMedia.h"
#include "tools/ChildProcess.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr double episodeSeconds = 180; // three one-minute segments, the fewest that agree
constexpr double markerSeconds = 40;   // the loud event the output is checked with

// One language's soundtrack, turned down so that a full-scale marker at `markerSeconds` is the
// first sample above 0.6.
std::vector<float> soundtrack(Language language)
{
    std::vector<float> samples =
        makeSoundtrack(SoundFamily::effects, language, 1, episodeSeconds + 10);
    for (float &sample : samples)
        sample *= 0.25f;
    std::fill_n(samples.begin() + qsizetype(markerSeconds * soundtrackRate), soundtrackRate / 20,
                1.0f);
    return samples;
}

// When the loud marker sounds in the output's audio track `index`: where ffmpeg's silence
// detection, which times each sample by its frame's timestamp as a player does, finds the
// first sound above 0.6. Not the program's own measurement.
std::optional<double> markerTime(const QString &file, int index)
{
    const ChildOutcome outcome =
        runChild({u"/usr/bin/ffmpeg"_s,
                  u"-nostdin -i %1 -map 0:a:%2 -af silencedetect=n=0.6:d=1 -f null -"_s.arg(file)
                      .arg(index)
                      .split(u' '),
                  ChildOutput::merged});
    const QRegularExpressionMatch end = QRegularExpression(u"silence_end: ([0-9.]+)"_s)
                                            .match(QString::fromUtf8(outcome.standardOutput));
    return end.hasMatch() ? std::optional(end.captured(1).toDouble()) : std::nullopt;
}

} // namespace

// `spurenflechter-cli --sync-check mux` on a German release that starts 1.2 s late and runs
// at PAL speed: the output's two audio tracks must line up.
class CliSyncTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        for (const QString &folder : {u"eng"_s, u"deu"_s, u"out"_s})
            QVERIFY(QDir(m_dir.path()).mkdir(folder));
        // The English release has a video track: a seek in it lands on a video key frame.
        QCOMPARE(
            writeRelease(m_dir.filePath(u"eng/S01E01.mkv"_s), soundtrack(Language::english), {},
                         episodeSeconds,
                         u"-f lavfi -i color=c=black:s=64x36:r=25:d=%1 -map 1:v -c:v mpeg4 "
                         u"-map 0:a -c:a flac -metadata:s:a:0 language=eng"_s.arg(episodeSeconds)
                             .split(u' ')),
            QString());
        QCOMPARE(writeRelease(m_dir.filePath(u"deu/S01E01.mkv"_s), soundtrack(Language::german),
                              {palTimingFactor, 1.2}, episodeSeconds / palTimingFactor,
                              u"-c:a flac -metadata:s:a:0 language=ger"_s.split(u' ')),
                 QString());
    }

    void delayedGermanAudioIsMovedBack()
    {
        const ChildOutcome cli =
            runChild({QStringLiteral(SPURENFLECHTER_CLI),
                      {u"--sync-check"_s, u"--json"_s, u"mux"_s, m_dir.filePath(u"eng"_s),
                       m_dir.filePath(u"deu"_s), m_dir.filePath(u"out"_s)}});
        QCOMPARE(cli.exitCode, 0);
        const QJsonObject report = QJsonDocument::fromJson(cli.standardOutput).object();

        const QJsonObject check = report[u"pairs"][0][u"syncCheck"].toObject();
        QVERIFY2(check[u"verdict"] == u"constant"_s &&
                     std::abs(check[u"correctionSeconds"].toDouble() - 1.2) < 0.02,
                 QJsonDocument(check).toJson());
        QStringList messages;
        for (const QJsonValue &issue : report[u"issues"].toArray())
            messages << issue[u"message"].toString();
        QVERIFY(messages.contains(
            u"S01E01: Die deutsche Tonspur läuft 1.20 Sekunden zu spät; wird beim Muxen "
            u"ausgeglichen."_s));
        QVERIFY(messages.contains(u"S01E01: Tonversatz von 1.20 Sekunden ausgeglichen."_s));
        // The release was resampled to PAL speed, so its pitch rose with it.
        QCOMPARE(report[u"pairs"][0][u"pitch"][u"verdict"], u"raised"_s);
        QVERIFY(messages.contains(u"S01E01: Die deutsche Tonspur klingt um 0.72 Halbtöne zu hoch "
                                  u"(PAL-Beschleunigung ohne Tonhöhenkorrektur)."_s));

        // Track 0 of the output's audio is German, track 1 English.
        const QString output = m_dir.filePath(u"out/S01E01.mkv"_s);
        const std::optional<double> german = markerTime(output, 0);
        const std::optional<double> english = markerTime(output, 1);
        QVERIFY(german && english);
        QCOMPARE_LT(std::abs(*english - markerSeconds), 0.01);
        QVERIFY2(std::abs(*german - *english) < 0.02,
                 qPrintable(u"German %1 s, English %2 s"_s.arg(*german).arg(*english)));
    }

    // The pitch restoration listens to the PAL pair even without the sync check, whose
    // offset then stays unsaid and uncorrected.
    void pitchHeardForTheRestorationAlone()
    {
        const ChildOutcome cli = runChild(
            {QStringLiteral(SPURENFLECHTER_CLI),
             {u"--restore-pitch"_s, u"--json"_s, u"plan"_s, m_dir.filePath(u"eng"_s),
              m_dir.filePath(u"deu"_s), m_dir.filePath(u"out"_s)}});
        QCOMPARE(cli.exitCode, 0);
        const QJsonObject report = QJsonDocument::fromJson(cli.standardOutput).object();
        QCOMPARE(report[u"pairs"][0][u"pitch"][u"verdict"], u"raised"_s);
        QCOMPARE(report[u"pairs"][0][u"syncCheck"][u"correctionSeconds"], QJsonValue());
        for (const QJsonValue &issue : report[u"issues"].toArray())
            QVERIFY(!issue[u"message"].toString().contains(u"zu spät"_s));
    }
};

QTEST_GUILESS_MAIN(CliSyncTest)
#include "tst_clisync.moc"
