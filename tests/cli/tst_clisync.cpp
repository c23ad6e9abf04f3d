#include "support/TestInspection.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int sampleRate = 16000;
constexpr double episodeSeconds = 180; // three one-minute segments, the fewest that agree
constexpr double markerSeconds = 40; // the loud event the output is checked with

// One language's soundtrack: the effects both releases share (noise bursts at irregular
// times, a loud marker) and a dialogue layer of its own. `timeOf` maps film time to the
// release's own time: a German release may start later and run at PAL speed. Its length in
// its own time is `seconds`.
QByteArray soundtrack(quint32 dialogueSeed, const std::function<double(double)> &timeOf,
                      double seconds)
{
    std::vector<float> samples(std::size_t(seconds * sampleRate), 0.0F);
    const auto add = [&](double filmStart, double seconds, float amplitude, double frequency,
                         QRandomGenerator &noise) {
        const auto first = std::size_t(timeOf(filmStart) * sampleRate);
        const auto count = std::size_t(seconds * sampleRate);
        for (std::size_t i = 0; i < count && first + i < samples.size(); ++i) {
            const double tone = frequency > 0 ? std::sin(2 * M_PI * frequency * i / sampleRate)
                                              : noise.generateDouble() * 2 - 1;
            samples[first + i] += amplitude * float(tone);
        }
    };
    QRandomGenerator effects(7), dialogue(dialogueSeed);
    for (double t = 1; t < episodeSeconds - 2; t += 0.3 + effects.generateDouble() * 1.7)
        add(t, 0.08 + effects.generateDouble() * 0.2, 0.3F, 0, effects);
    for (double t = 0.5; t < episodeSeconds - 2; t += 0.4 + dialogue.generateDouble() * 1.2)
        add(t, 0.3, 0.1F, 200 + dialogue.generateDouble() * 300, dialogue);
    add(markerSeconds, 0.05, 0.9F, 0, effects);

    QByteArray pcm;
    for (const float sample : samples) {
        const auto value = qint16(std::clamp(sample, -1.0F, 1.0F) * 32767);
        pcm.append(reinterpret_cast<const char *>(&value), sizeof value);
    }
    return pcm;
}

bool run(const QString &program, const QStringList &arguments, const QByteArray &input = {},
         QByteArray *output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return false;
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

// Writes raw 16-bit mono samples as FLAC in Matroska, with a tiny video where wanted.
bool writeEpisode(const QString &path, const QByteArray &pcm, const QString &language,
                  bool withVideo)
{
    QStringList arguments =
        u"-nostdin -loglevel error -y -f s16le -ar %1 -ac 1 -i -"_s.arg(sampleRate).split(u' ');
    if (withVideo)
        arguments << u"-f lavfi -i color=c=black:s=64x36:r=25:d=%1 -map 1:v -c:v mpeg4"_s
                         .arg(episodeSeconds)
                         .split(u' ');
    arguments << u"-map 0:a -c:a flac -metadata:s:a:0 language=%1"_s.arg(language).split(u' ')
              << path;
    return run(u"/usr/bin/ffmpeg"_s, arguments, pcm);
}

// When the loud marker sounds in the output's audio track `index`, found on the decoded
// samples and the frames' timestamps, not by the program's own measurement. A player plays
// each frame at its timestamp, so the marker sounds at its frame's time plus its place in
// the frame.
std::optional<double> markerTime(const QString &file, int index)
{
    QByteArray pcm, frames;
    const QString track = u"a:%1"_s.arg(index);
    if (!run(u"/usr/bin/ffmpeg"_s,
             u"-nostdin -loglevel error -i %1 -map 0:%2 -f s16le -"_s.arg(file, track).split(u' '),
             {}, &pcm) ||
        !run(u"/usr/bin/ffprobe"_s,
             u"-v error -select_streams %1 -show_frames -show_entries frame=pts_time,nb_samples "
             u"-of csv=p=0 %2"_s.arg(track, file)
                 .split(u' '),
             {}, &frames))
        return std::nullopt;
    const auto *samples = reinterpret_cast<const qint16 *>(pcm.constData());
    qsizetype marker = 0;
    while (marker < pcm.size() / 2 && std::abs(samples[marker]) < 0.6 * 32767)
        ++marker;
    qsizetype frameStart = 0;
    for (const QByteArray &frame : frames.split('\n')) {
        const QList<QByteArray> fields = frame.split(',');
        if (fields.size() != 2)
            continue;
        const qsizetype frameSamples = fields.at(1).toLongLong();
        if (marker < frameStart + frameSamples)
            return fields.at(0).toDouble() + double(marker - frameStart) / sampleRate;
        frameStart += frameSamples;
    }
    return std::nullopt;
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
        const double pal = 960.0 / 1001.0;
        QVERIFY(writeEpisode(m_dir.filePath(u"eng/S01E01.mkv"_s),
                             soundtrack(
                                 1, [](double t) { return t; }, episodeSeconds),
                             u"eng"_s, true));
        QVERIFY(
            writeEpisode(m_dir.filePath(u"deu/S01E01.mkv"_s),
                         soundtrack(
                             2, [&](double t) { return (t + 1.2) * pal; }, episodeSeconds * pal),
                         u"ger"_s, false));
    }

    void delayedGermanAudioIsMovedBack()
    {
        QProcess cli;
        cli.setWorkingDirectory(m_dir.path());
        cli.start(QStringLiteral(SPURENFLECHTER_CLI),
                  {u"--sync-check"_s, u"--json"_s, u"mux"_s, u"eng"_s, u"deu"_s, u"out"_s});
        QVERIFY(cli.waitForFinished(300000));
        const QJsonObject report = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
        QCOMPARE(cli.exitCode(), 0);

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

        // Track 0 of the output's audio is German, track 1 English.
        const QString output = m_dir.filePath(u"out/S01E01.mkv"_s);
        const std::optional<double> german = markerTime(output, 0);
        const std::optional<double> english = markerTime(output, 1);
        QVERIFY(german && english);
        QCOMPARE_LT(std::abs(*english - markerSeconds), 0.01);
        QVERIFY2(std::abs(*german - *english) < 0.02,
                 qPrintable(u"German %1 s, English %2 s"_s.arg(*german).arg(*english)));
    }
};

QTEST_GUILESS_MAIN(CliSyncTest)
#include "tst_clisync.moc"
