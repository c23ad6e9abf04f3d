// Calibrates the pitch comparison on generated PAL episodes of three families of material: per
// pair one German release sped up with its pitch and one sped up at the film's pitch (by atempo
// or Rubber Band in turn), and some unrelated pairs. Prints the confusion table, the spread of
// the measured shifts, the comparison's cost against the sync check alone, and how well atempo
// and Rubber Band bring a dub kept at the film's pitch back to film speed.
//
//     bench_pitchcalibration [PAIRS_PER_KIND [EPISODE_SECONDS]]

#include "analysis/PalSpeedup.h"
#include "support/PitchMedia.h"
#include "sync/AudioDecoding.h"
#include "sync/Spectrum.h"
#include "sync/SyncSegments.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <random>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ffmpeg = u"/usr/bin/ffmpeg"_s;
const SoundFamily families[] = {SoundFamily::effects, SoundFamily::speech, SoundFamily::music};
const char *const kindNames[] = {"raised", "corrected", "unsure"};

struct Timed {
    SyncMeasurement measurement;
    double milliseconds = 0;
};

Timed measure(const SyncSource &english, const SyncSource &german, bool comparePitch)
{
    SyncCheckOptions options{ffmpeg, palTimingFactor};
    options.comparePitch = comparePitch;
    QElapsedTimer timer;
    timer.start();
    Timed timed{measureSync(english, german, options)};
    timed.milliseconds = double(timer.nsecsElapsed()) / 1e6;
    return timed;
}

// How alike two decodes sound: the mean correlation of their whitened log spectra, frame by
// frame over the same film time, 1 for the same sound.
double spectralLikeness(const std::vector<std::int16_t> &a, const std::vector<std::int16_t> &b)
{
    std::vector<double> centres;
    for (double t = 1; t < double(std::min(a.size(), b.size())) / syncSampleRate - 1; t += 0.5)
        centres.push_back(t * syncSampleRate);
    const LogAxis axis{80, 5, 1058};
    const LogSpectrogram x = logSpectrogram(a, syncSampleRate, 4096, centres, axis);
    const LogSpectrogram y = logSpectrogram(b, syncSampleRate, 4096, centres, axis);
    double sum = 0;
    for (std::size_t f = 0; f < centres.size(); ++f) {
        double xy = 0, xx = 0, yy = 0;
        for (int k = 0; k < axis.bins; ++k) {
            xy += x.frame(f)[k] * y.frame(f)[k];
            xx += x.frame(f)[k] * x.frame(f)[k];
            yy += y.frame(f)[k] * y.frame(f)[k];
        }
        sum += xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
    }
    return sum / double(centres.size());
}

// Brings a tempo-only PAL release of `family` back with each filter and compares it with the
// film-speed original: spectral likeness and the lag the sync check measures.
void compareTempoFilters(QTextStream &out, const QTemporaryDir &dir)
{
    constexpr double seconds = 60;
    out << "\nTempo only back to film speed (" << seconds << " s, 3 segments of 20 s):\n"
        << "family   made by      undone by    likeness  lag ms\n";
    for (const SoundFamily family : {SoundFamily::speech, SoundFamily::music})
        for (const QString &maker : {u"atempo"_s, u"rubberband"_s}) {
            const auto soundtrack = makeSoundtrack(family, Language::german, 3, seconds + 5);
            const QString original = dir.filePath(u"original.mka"_s);
            const QString release = dir.filePath(u"release.mka"_s);
            writeRelease(original, soundtrack, {}, seconds);
            writePalRelease(release, soundtrack, PalKind::tempoOnly, 0, seconds / palTimingFactor,
                            {u"-c:a"_s, u"flac"_s}, maker);
            const auto decoded = [](const QString &file) {
                return decodeMonoPcm(ffmpeg, {QUrl::fromLocalFile(file), 0, 0, seconds}, {})
                    .value_or(std::vector<std::int16_t>());
            };
            const std::vector<std::int16_t> reference = decoded(original);
            for (const QString &filter :
                 {u"atempo=%1"_s, u"rubberband=tempo=%1:channels=together"_s}) {
                const QString restored = dir.filePath(u"restored.mka"_s);
                runChild({ffmpeg,
                          {u"-nostdin"_s, u"-loglevel"_s, u"error"_s, u"-y"_s, u"-i"_s, release,
                           u"-af"_s, filter.arg(960.0 / 1001, 0, 'f', 12), u"-c:a"_s, u"flac"_s,
                           restored}});
                const SyncMeasurement lags =
                    measureSync({QUrl::fromLocalFile(original), 0, seconds},
                                {QUrl::fromLocalFile(restored), 0, seconds}, {ffmpeg}, {20, 3});
                double lag = 0;
                for (const SyncSegment &segment : lags.segments)
                    lag += segment.lagSeconds.value_or(qQNaN()) / double(lags.segments.size());
                out << qSetFieldWidth(9) << Qt::left
                    << (family == SoundFamily::speech ? "speech" : "music") << qSetFieldWidth(13)
                    << maker << filter.section(u'=', 0, 0) << qSetFieldWidth(10)
                    << QString::number(spectralLikeness(reference, decoded(restored)), 'f', 3)
                    << qSetFieldWidth(0) << QString::number(lag * 1000, 'f', 0) << '\n';
            }
        }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList arguments = app.arguments();
    const int pairs = arguments.size() > 1 ? arguments.at(1).toInt() : 42; // 0: filters only
    const double seconds = arguments.size() > 2 ? arguments.at(2).toDouble() : 180;
    const double germanSeconds = seconds / palTimingFactor;

    QTemporaryDir dir;
    int table[3][3] = {}; // truth (raised, corrected, unrelated) × verdict
    std::vector<double> shifts[2];
    double withPitch = 0, without = 0;
    const int costed = (pairs + 6) / 7;
    std::mt19937 random(5);
    for (int pair = 0; pair < pairs; ++pair) {
        const SoundFamily family = families[pair % 3];
        const double late =
            std::round(std::uniform_real_distribution(-5.0, 5.0)(random) * 100) / 100;
        const auto german = makeSoundtrack(family, Language::german, pair, seconds + 10);
        const QString english = dir.filePath(u"eng.mka"_s);
        writeRelease(english, makeSoundtrack(family, Language::english, pair, seconds + 10), {},
                     seconds);
        const SyncSource englishSource{QUrl::fromLocalFile(english), 0, seconds};
        for (const PalKind kind : {PalKind::raised, PalKind::tempoOnly}) {
            const QString file = dir.filePath(u"ger.mka"_s);
            const QString failure =
                writePalRelease(file, german, kind, late, germanSeconds, {u"-c:a"_s, u"flac"_s},
                                pair % 2 ? u"rubberband"_s : u"atempo"_s);
            if (!failure.isEmpty()) {
                out << failure << '\n';
                return 1;
            }
            const SyncSource germanSource{QUrl::fromLocalFile(file), 0, germanSeconds};
            const Timed timed = measure(englishSource, germanSource, true);
            // The cost on every seventh pair, the check alone right after it on the same files.
            if (pair % 7 == 0) {
                withPitch += timed.milliseconds;
                without += measure(englishSource, germanSource, false).milliseconds;
            }
            const PitchVerdict verdict = judgePitch(timed.measurement);
            ++table[int(kind)][int(verdict.kind)];
            if (verdict.semitones)
                shifts[int(kind)].push_back(*verdict.semitones);
        }
        // Every third pair: the English track against another seed's German release.
        if (pair % 3 == 0) {
            const QString unrelated = dir.filePath(u"unrelated.mka"_s);
            writePalRelease(unrelated,
                            makeSoundtrack(family, Language::german, pair + 1000, seconds + 10),
                            PalKind::raised, late, germanSeconds);
            const PitchVerdict verdict = judgePitch(
                measure(englishSource, {QUrl::fromLocalFile(unrelated), 0, germanSeconds}, true)
                    .measurement);
            ++table[2][int(verdict.kind)];
        }
    }

    if (pairs > 0) {
        out << "Pitch verdicts on " << pairs << " pairs per kind, " << seconds
            << " s episodes (rows: truth, columns: verdict)\n"
            << qSetFieldWidth(12) << Qt::left << ""
            << "raised"
            << "corrected"
            << "unsure" << qSetFieldWidth(0) << '\n';
        const char *const truths[] = {"raised", "corrected", "unrelated"};
        for (int truth = 0; truth < 3; ++truth) {
            out << qSetFieldWidth(12) << truths[truth];
            for (int verdict = 0; verdict < 3; ++verdict)
                out << table[truth][verdict];
            out << qSetFieldWidth(0) << '\n';
        }
        for (int kind = 0; kind < 2; ++kind) {
            std::sort(shifts[kind].begin(), shifts[kind].end());
            if (!shifts[kind].empty())
                out << kindNames[kind] << ": agreed shifts from " << shifts[kind].front() << " to "
                    << shifts[kind].back() << " semitones (PAL: " << palSemitones << ")\n";
        }
        out << "Sync check with the pitch comparison: " << withPitch / (2 * costed)
            << " ms per pair, alone " << without / (2 * costed) << " ms: " << withPitch / without
            << "×\n";
    }
    compareTempoFilters(out, dir);
    return 0;
}
