#include "analysis/PalSpeedup.h"
#include "support/FakeTool.h"
#include "support/TestMedia.h"
#include "sync/SyncCheck.h"
#include "sync/SyncWindows.h"
#include "tools/ChildProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <functional>
#include <numbers>
#include <random>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(SyncMeasurement)
Q_DECLARE_METATYPE(AnalysisIssueSeverity)

namespace {

constexpr int pcmRate = 8000;
constexpr double episodeSeconds = 90;
constexpr double longEpisodeSeconds = 180;
constexpr double cutAt = 80; // the German release has 2.1 s more from here on

// One sound of a generated track: a tone, or noise when the frequency is 0.
struct Sound {
    double start = 0; // film seconds
    double length = 0;
    double frequency = 0;
    double level = 0;
    unsigned seed = 0;
};

// A level and a length for a sound at `start`: noise, or a tone up to `maxFrequency`.
Sound draw(std::mt19937 &random, double start, double maxLength, double maxFrequency)
{
    std::uniform_real_distribution<double> unit(0, 1);
    const bool noise = unit(random) < 0.4;
    return {start, 0.04 + unit(random) * maxLength, noise ? 0 : 100 + unit(random) * maxFrequency,
            0.1 + 0.3 * unit(random), unsigned(random())};
}

// Music and effects, the layer both releases share: sounds at irregular times.
QList<Sound> effects(unsigned seed, double seconds)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> gap(0.2, 2.0);
    QList<Sound> sounds;
    for (double t = gap(random); t < seconds; t += gap(random))
        sounds << draw(random, t, 0.4, 2000);
    return sounds;
}

// Speech-like phrases of syllables with pauses between them, different in each language.
QList<Sound> dialogue(unsigned seed, double seconds)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> syllable(0.1, 0.3), phrase(0.8, 3.0), pause(0.4, 2.5);
    QList<Sound> sounds;
    for (double t = pause(random); t < seconds; t += pause(random)) {
        for (const double end = t + phrase(random); t < end; t += syllable(random))
            sounds << draw(random, t, 0.2, 300);
    }
    return sounds;
}

// How one track places the film's sounds.
struct Placement {
    std::function<double(double)> delay = [](double) { return 0.0; }; // of a sound at film time t
    double stretch = 1;                                               // film time / file time
};

Placement shifted(double delay, double stretch = 1)
{
    return {[delay](double) { return delay; }, stretch};
}

std::vector<qint16> render(const QList<Sound> &sounds, double fileSeconds, const Placement &place)
{
    std::vector<float> mix(std::size_t(fileSeconds * pcmRate), 0.0f);
    for (const Sound &sound : sounds) {
        const double start = (sound.start + place.delay(sound.start)) / place.stretch;
        const double length = sound.length / place.stretch;
        const double frequency = sound.frequency * place.stretch;
        std::minstd_rand noise(sound.seed + 1);
        std::uniform_real_distribution<float> sample(-1, 1);
        for (auto n = std::ptrdiff_t(std::ceil(start * pcmRate)); n < (start + length) * pcmRate;
             ++n) {
            if (n < 0 || n >= std::ptrdiff_t(mix.size()))
                continue;
            const double t = double(n) / pcmRate - start;
            const double envelope = std::min(1.0, t / 0.005) * std::exp(-3 * t / length);
            const double wave =
                frequency > 0 ? std::sin(2 * std::numbers::pi * frequency * t) : sample(noise);
            mix[std::size_t(n)] += float(sound.level * envelope * wave);
        }
    }
    std::vector<qint16> pcm(mix.size());
    std::transform(mix.cbegin(), mix.cend(), pcm.begin(),
                   [](float value) { return qint16(std::clamp(value, -1.0f, 1.0f) * 32767); });
    return pcm;
}

// Encodes `pcm` as FLAC in Matroska. Returns an empty text on success.
QString encode(const std::vector<qint16> &pcm, const QString &path)
{
    QFile raw(path + u".raw"_s);
    const auto bytes = qint64(pcm.size() * sizeof(qint16));
    if (!raw.open(QIODevice::WriteOnly) ||
        raw.write(reinterpret_cast<const char *>(pcm.data()), bytes) != bytes)
        return u"cannot write "_s + raw.fileName();
    raw.close();
    const ChildOutcome outcome = runChild(
        {u"/usr/bin/ffmpeg"_s,
         u"-nostdin -hide_banner -loglevel error -y -f s16le -ar %1 -ac 1 -i"_s.arg(pcmRate).split(
             u' ')
             << raw.fileName() << u"-c:a"_s << u"flac"_s << path});
    raw.remove();
    return outcome.succeeded() ? QString() : QString::fromUtf8(outcome.standardError);
}

SyncWindowResult confident(double offset)
{
    return {offset, 10, true};
}

SyncWindowResult unsure(double offset)
{
    return {offset, 1.2, false};
}

} // namespace

class SyncCheckTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString ffmpeg = u"/usr/bin/ffmpeg"_s;

    QString file(const QString &name) const { return dir.filePath(name); }
    void make(const QString &name, const QList<Sound> &sounds, double seconds,
              const Placement &place = {})
    {
        const QString error = encode(render(sounds, seconds / place.stretch, place), file(name));
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    SyncSource source(const QString &name, double seconds) const
    {
        return {QUrl::fromLocalFile(file(name)), 0, seconds};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        const QList<Sound> shared = effects(1, longEpisodeSeconds);
        const QList<Sound> english = shared + dialogue(2, longEpisodeSeconds);
        const QList<Sound> german = shared + dialogue(3, longEpisodeSeconds);
        make(u"english.mka"_s, english, episodeSeconds);
        make(u"late.mka"_s, german, episodeSeconds, shifted(1.2));
        make(u"late-pal.mka"_s, german, episodeSeconds, shifted(1.2, palTimingFactor));
        make(u"early.mka"_s, german, episodeSeconds, shifted(-0.8));
        make(u"same.mka"_s, german, episodeSeconds);
        make(u"unrelated.mka"_s, effects(4, episodeSeconds) + dialogue(3, episodeSeconds),
             episodeSeconds);
        make(u"silent.mka"_s, {}, episodeSeconds);
        make(u"short.mka"_s, english, 6);
        make(u"english-long.mka"_s, english, longEpisodeSeconds);
        make(u"cut.mka"_s, german, longEpisodeSeconds,
             Placement{[](double t) { return t >= cutAt ? 2.1 : 0.0; }});

        const QString noAudio = makeTestMatroska(file(u"no-audio.mkv"_s), {});
        QVERIFY2(noAudio.isEmpty(), qPrintable(noAudio));
        // A real header followed by garbage.
        QFile intact(file(u"english.mka"_s)), corrupt(file(u"corrupt.mka"_s));
        QVERIFY(intact.open(QIODevice::ReadOnly) && corrupt.open(QIODevice::WriteOnly));
        QByteArray bytes = intact.read(100000);
        std::mt19937 random(5);
        for (qsizetype i = 2000; i < bytes.size(); ++i)
            bytes[i] = char(random());
        corrupt.write(bytes);

        writeFakeTool(file(u"failing-ffmpeg"_s), "exit 1");
        writeFakeTool(file(u"hanging-ffmpeg"_s), "exec sleep 60");
    }

    void findsTheOffset_data()
    {
        QTest::addColumn<QString>("german");
        QTest::addColumn<double>("stretch");
        QTest::addColumn<double>("offset");
        QTest::newRow("German 1.2 s late") << u"late.mka"_s << 1.0 << 1.2;
        QTest::newRow("German 1.2 s late at PAL speed")
            << u"late-pal.mka"_s << palTimingFactor << 1.2;
        QTest::newRow("German 0.8 s early") << u"early.mka"_s << 1.0 << -0.8;
        QTest::newRow("in sync") << u"same.mka"_s << 1.0 << 0.0;
    }

    void findsTheOffset()
    {
        QFETCH(QString, german);
        QFETCH(double, stretch);
        QFETCH(double, offset);
        const SyncMeasurement measurement =
            measureSync(source(u"english.mka"_s, episodeSeconds),
                        source(german, episodeSeconds / stretch), {ffmpeg, stretch});

        QVERIFY(measurement.early && measurement.early->isConfident);
        QVERIFY(!measurement.late); // 90 s leave no room for a late window
        qInfo("measured %.4f s, confidence %.1f", measurement.early->offsetSeconds,
              measurement.early->confidence);
        QVERIFY(std::abs(measurement.early->offsetSeconds - offset) <= 0.02);
        const SyncVerdict verdict = judgeSync(u"S01E02"_s, measurement);
        QCOMPARE(verdict.finding.has_value(), offset != 0);
        QCOMPARE(verdict.correctionOffsetSeconds.has_value(), offset != 0);
    }

    void findsACut()
    {
        const SyncMeasurement measurement = measureSync(
            source(u"english-long.mka"_s, longEpisodeSeconds),
            source(u"cut.mka"_s, longEpisodeSeconds), {ffmpeg}, SyncWindowLengths{60, 60, 20});

        QVERIFY(measurement.early && measurement.late);
        qInfo("measured %.4f s / %.4f s, confidence %.1f / %.1f", measurement.early->offsetSeconds,
              measurement.late->offsetSeconds, measurement.early->confidence,
              measurement.late->confidence);
        const SyncVerdict verdict = judgeSync(u"S01E02"_s, measurement);
        QVERIFY(verdict.finding);
        QCOMPARE(verdict.finding->message,
                 u"S01E02: Der Versatz der deutschen Tonspur ändert sich im Lauf der Folge "
                 u"(Anfang 0.00 Sekunden, Ende 2.10 Sekunden); die Fassungen sind "
                 u"unterschiedlich geschnitten."_s);
        QVERIFY(!verdict.correctionOffsetSeconds);
    }

    void unsureWithout_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<bool>("stopped");
        const QString english = u"english.mka"_s, german = u"late.mka"_s;
        QTest::newRow("unrelated audio")
            << ffmpeg << english << u"unrelated.mka"_s << 60000 << false;
        QTest::newRow("silence") << ffmpeg << english << u"silent.mka"_s << 60000 << false;
        QTest::newRow("too little audio")
            << ffmpeg << u"short.mka"_s << u"short.mka"_s << 60000 << false;
        QTest::newRow("no audio track") << ffmpeg << english << u"no-audio.mkv"_s << 60000 << false;
        QTest::newRow("corrupt file") << ffmpeg << english << u"corrupt.mka"_s << 60000 << false;
        QTest::newRow("missing ffmpeg") << file(u"ffmpeg"_s) << english << german << 60000 << false;
        QTest::newRow("failing ffmpeg")
            << file(u"failing-ffmpeg"_s) << english << german << 60000 << false;
        QTest::newRow("hanging ffmpeg")
            << file(u"hanging-ffmpeg"_s) << english << german << 300 << false;
        QTest::newRow("stopped") << file(u"hanging-ffmpeg"_s) << english << german << 60000 << true;
    }

    void unsureWithout()
    {
        QFETCH(QString, program);
        QFETCH(QString, english);
        QFETCH(QString, german);
        QFETCH(int, timeout);
        QFETCH(bool, stopped);
        const StopFlag stop{stopped};
        const SyncMeasurement measurement =
            measureSync(source(english, episodeSeconds), source(german, episodeSeconds),
                        {program, 1.0, timeout, &stop});

        const SyncVerdict verdict = judgeSync(u"S01E02"_s, measurement);
        QVERIFY(verdict.finding);
        QCOMPARE(verdict.finding->severity, AnalysisIssueSeverity::information);
        QCOMPARE(verdict.finding->message,
                 u"S01E02: Der Tonversatz ließ sich nicht sicher bestimmen."_s);
        QVERIFY(!verdict.correctionOffsetSeconds);
    }

    void windowsFollowTheRunningTime_data()
    {
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("earlyLength");
        QTest::addColumn<double>("lateStart"); // -1: no late window
        QTest::newRow("45 minutes") << 2700.0 << 600.0 << 2280.0;
        QTest::newRow("14 minutes: the late window reaches past the early one")
            << 840.0 << 600.0 << 420.0;
        QTest::newRow("12 minutes: the late window would end inside the early one")
            << 720.0 << 600.0 << -1.0;
        QTest::newRow("3 minutes") << 180.0 << 180.0 << -1.0;
        QTest::newRow("unknown") << 0.0 << 600.0 << -1.0;
    }

    void windowsFollowTheRunningTime()
    {
        QFETCH(double, duration);
        QFETCH(double, earlyLength);
        QFETCH(double, lateStart);
        const SyncWindowPlan plan = planSyncWindows(duration);
        QCOMPARE(plan.early.start, 0.0);
        QCOMPARE(plan.early.length, earlyLength);
        QCOMPARE(plan.late.has_value(), lateStart >= 0);
        if (plan.late) {
            QCOMPARE(plan.late->start, lateStart);
            QCOMPARE(plan.late->length, 300.0);
        }
    }

    void judgement_data()
    {
        QTest::addColumn<SyncMeasurement>("measurement");
        QTest::addColumn<AnalysisIssueSeverity>("severity");
        QTest::addColumn<QString>("message");   // empty: no finding
        QTest::addColumn<double>("correction"); // NaN: none
        const auto warning = AnalysisIssueSeverity::warning;
        const QString shifted =
            u"S01E02: Die deutsche Tonspur ist um %1 Sekunden verschoben; wird beim Muxen "
            u"ausgeglichen."_s;
        const QString cut = u"S01E02: Der Versatz der deutschen Tonspur ändert sich im Lauf der "
                            u"Folge (Anfang %1 Sekunden, Ende %2 Sekunden); die Fassungen sind "
                            u"unterschiedlich geschnitten."_s;
        const QString notSure = u"S01E02: Der Tonversatz ließ sich nicht sicher bestimmen."_s;
        const double none = qQNaN();

        QTest::newRow("steady delay") << SyncMeasurement{confident(1.2), confident(1.27)} << warning
                                      << shifted.arg(u"1.20"_s) << 1.2;
        QTest::newRow("early German, the number without sign")
            << SyncMeasurement{confident(-0.804), confident(-0.8)} << warning
            << shifted.arg(u"0.80"_s) << -0.804;
        QTest::newRow("short episode: the start alone")
            << SyncMeasurement{confident(0.5), {}} << warning << shifted.arg(u"0.50"_s) << 0.5;
        QTest::newRow("unsure end: the start alone") << SyncMeasurement{confident(0.04), unsure(3)}
                                                     << warning << shifted.arg(u"0.04"_s) << 0.04;
        QTest::newRow("below 0.04 s")
            << SyncMeasurement{confident(-0.039), confident(0.01)} << warning << QString() << none;
        QTest::newRow("cut") << SyncMeasurement{confident(0.001), confident(2.1)} << warning
                             << cut.arg(u"0.00"_s, u"2.10"_s) << none;
        QTest::newRow("cut, signed") << SyncMeasurement{confident(1.0), confident(-0.8)} << warning
                                     << cut.arg(u"1.00"_s, u"-0.80"_s) << none;
        QTest::newRow("unsure start") << SyncMeasurement{unsure(1.2), confident(1.2)}
                                      << AnalysisIssueSeverity::information << notSure << none;
        QTest::newRow("nothing measured")
            << SyncMeasurement{} << AnalysisIssueSeverity::information << notSure << none;
    }

    void judgement()
    {
        QFETCH(SyncMeasurement, measurement);
        QFETCH(AnalysisIssueSeverity, severity);
        QFETCH(QString, message);
        QFETCH(double, correction);
        const SyncVerdict verdict = judgeSync(u"S01E02"_s, measurement);
        QCOMPARE(verdict.finding.has_value(), !message.isEmpty());
        if (verdict.finding) {
            QCOMPARE(verdict.finding->severity, severity);
            QCOMPARE(verdict.finding->message, message);
        }
        QCOMPARE(verdict.correctionOffsetSeconds.has_value(), !qIsNaN(correction));
        if (verdict.correctionOffsetSeconds)
            QCOMPARE(*verdict.correctionOffsetSeconds, correction);
    }
};

QTEST_GUILESS_MAIN(SyncCheckTest)
#include "tst_synccheck.moc"
