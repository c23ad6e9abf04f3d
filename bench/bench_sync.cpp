// Times the sync check on one PAL pair of 13 minutes, long enough for both windows, against
// the four ffmpeg decodes it needs (each window of each track) run on their own. What the
// check adds on top is the onset envelopes and the correlation over ±30 s; the correlation of
// a full ten-minute window is timed on its own as well.

#include "analysis/PalSpeedup.h"
#include "BenchSupport.h"
#include "sync/CrossCorrelation.h"
#include "sync/SyncWindows.h"
#include "tools/ChildProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int rounds = 5;
constexpr double episodeSeconds = 13 * 60;
constexpr double germanDelay = 1.2;
constexpr int pcmRate = 8000;
const QString ffmpeg = u"/usr/bin/ffmpeg"_s;

// Adds a decaying tone or noise burst every `minGap` to `maxGap` seconds, from `seed`, placed
// by `fileTime` and played `stretch` times faster.
void addSounds(std::vector<float> &mix, unsigned seed, double minGap, double maxGap,
               double (*fileTime)(double), double stretch)
{
    std::mt19937 random(seed), noiseSource(seed + 1); // noise draws must not move the times
    std::uniform_real_distribution<double> unit(0, 1);
    std::uniform_real_distribution<float> noise(-1, 1);
    for (double t = 0; t < episodeSeconds; t += minGap + unit(random) * (maxGap - minGap)) {
        const double start = fileTime(t), length = (0.05 + 0.3 * unit(random)) / stretch;
        const double frequency = unit(random) < 0.4 ? 0 : (100 + 1500 * unit(random)) * stretch;
        const double level = 0.1 + 0.3 * unit(random);
        const auto first = std::ptrdiff_t(std::ceil(start * pcmRate));
        for (auto n = std::max<std::ptrdiff_t>(first, 0);
             n < std::min<double>((start + length) * pcmRate, double(mix.size())); ++n) {
            const double since = double(n) / pcmRate - start;
            const double wave = frequency > 0 ? std::sin(2 * std::numbers::pi * frequency * since)
                                              : noise(noiseSource);
            mix[std::size_t(n)] += float(level * std::exp(-3 * since / length) * wave);
        }
    }
}

// Shared effects, its own dialogue; encoded as 48 kHz 5.1 AC-3 like a broadcast release.
bool makeTrack(const QString &path, unsigned dialogueSeed, double (*fileTime)(double),
               double stretch)
{
    std::vector<float> mix(std::size_t(episodeSeconds / stretch * pcmRate), 0.0f);
    addSounds(mix, 1, 0.2, 2.0, fileTime, stretch);
    addSounds(mix, dialogueSeed, 0.1, 0.6, fileTime, stretch);
    QByteArray pcm(qsizetype(mix.size() * 2), Qt::Uninitialized);
    for (std::size_t i = 0; i < mix.size(); ++i) {
        const auto sample = qint16(std::clamp(mix[i], -1.0f, 1.0f) * 32767);
        pcm[qsizetype(2 * i)] = char(sample & 0xff);
        pcm[qsizetype(2 * i + 1)] = char((sample >> 8) & 0xff);
    }
    QFile raw(path + u".raw"_s);
    if (!raw.open(QIODevice::WriteOnly) || raw.write(pcm) != pcm.size())
        return false;
    raw.close();
    const ChildOutcome outcome = runChild(
        {ffmpeg,
         u"-nostdin -hide_banner -loglevel error -y -f s16le -ar %1 -ac 1 -i"_s.arg(pcmRate).split(
             u' ')
             << raw.fileName() << u"-ar 48000 -ac 6 -c:a ac3 -b:a 384k"_s.split(u' ') << path});
    raw.remove();
    return outcome.succeeded();
}

// The decodes the check runs: each window of the English track, and the same window of
// the German track in its own time, widened by the 30 s searched on both sides.
QList<QStringList> decodeArguments(const QString &english, const QString &german)
{
    const SyncWindowPlan plan = planSyncWindows(episodeSeconds);
    QList<QStringList> runs;
    for (const SyncSpan &window : {plan.early, *plan.late}) {
        const double germanStart = std::max(0.0, window.start - 30);
        const double germanLength =
            std::min(window.start + window.length + 30, episodeSeconds) - germanStart;
        for (const auto &[file, start, length] :
             {std::tuple{english, window.start, window.length},
              {german, germanStart / palTimingFactor, germanLength / palTimingFactor}}) {
            runs << (u"-nostdin -hide_banner -loglevel error -ss"_s.split(u' ')
                     << QString::number(start, 'f', 6) << u"-t"_s << QString::number(length, 'f', 6)
                     << u"-i"_s << file << u"-map 0:a:0 -ac 1 -ar 4000 -f s16le -"_s.split(u' '));
        }
    }
    return runs;
}

double englishTime(double filmTime)
{
    return filmTime;
}

// Late by germanDelay, at PAL speed.
double germanTime(double filmTime)
{
    return (filmTime + germanDelay) / palTimingFactor;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString english = dir.filePath(u"english.mka"_s), german = dir.filePath(u"german.mka"_s);
    if (!dir.isValid() || !makeTrack(english, 2, englishTime, 1) ||
        !makeTrack(german, 3, germanTime, palTimingFactor)) {
        out << "Die Testdateien konnten nicht erzeugt werden.\n";
        return 1;
    }

    const SyncSource englishSource{QUrl::fromLocalFile(english), 0, episodeSeconds};
    const SyncSource germanSource{QUrl::fromLocalFile(german), 0, episodeSeconds / palTimingFactor};
    // Alternating rounds, so a busy spell of the machine hits both sides alike.
    SyncMeasurement measurement;
    const QList<QStringList> decodes = decodeArguments(english, german);
    bool decoded = true;
    double checkMs = std::numeric_limits<double>::infinity(), decodeMs = checkMs;
    const auto check = [&] {
        measurement = measureSync(englishSource, germanSource, {ffmpeg, palTimingFactor});
    };
    const auto decodeOnly = [&] {
        for (const QStringList &arguments : decodes) {
            const ChildOutcome outcome = runChild({ffmpeg, arguments});
            decoded = decoded && outcome.succeeded() && !outcome.standardOutput.isEmpty();
        }
    };
    for (int round = 0; round < rounds; ++round) {
        checkMs = std::min(checkMs, bestMilliseconds(1, check));
        decodeMs = std::min(decodeMs, bestMilliseconds(1, decodeOnly));
    }
    if (!measurement.early || !measurement.late || !decoded) {
        out << "Die Prüfung lieferte kein Ergebnis.\n";
        return 1;
    }
    printComparison(out, 1, u"measureSync"_s, checkMs, u"ffmpeg decodes alone"_s, decodeMs);
    for (const auto &[name, window] :
         {std::pair{u"early"_s, *measurement.early}, {u"late"_s, *measurement.late}}) {
        out << u"%1 window: offset %2 s (true %3 s), confidence %4\n"_s.arg(name)
                   .arg(window.offsetSeconds, 0, 'f', 4)
                   .arg(germanDelay, 0, 'f', 4)
                   .arg(window.confidence, 0, 'f', 1);
    }

    // Ten minutes of envelope against ±30 s of lags: 60,000 × 6,001 multiply-adds.
    std::mt19937 random(7);
    std::normal_distribution<float> normal;
    std::vector<float> a(60000), b(a.size() + 6000);
    std::generate(a.begin(), a.end(), [&] { return normal(random); });
    std::generate(b.begin(), b.end(), [&] { return normal(random); });
    std::vector<float> sums;
    const double correlationMs =
        bestMilliseconds(rounds, [&] { sums = crossCorrelate(a, b, 3000); });
    out << u"correlation of a ten-minute window: %1 ms for %2 lags\n"_s
               .arg(correlationMs, 0, 'f', 1)
               .arg(sums.size());
    return 0;
}
