// Calibrates the location of cuts on generated releases of three families of material: for
// each seed, one cut at a random moment between two segments, the German release longer or
// shorter there by a random amount. Prints, per family, how often the cut was placed within
// 0.05 s, placed further off (a wrong splice), or left unplaced ("nicht sicher"): once with
// the beds silent between their events, once with a room tone under them, as films have.
//
// Then the same for two cuts 8 s apart that the segments see as one jump, which must not be
// placed at all.
//
//     bench_cutcalibration [SEEDS_PER_FAMILY [FAMILY]]

#include "support/SyncMedia.h"
#include "sync/AudioDecoding.h"
#include "sync/CutLocation.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>
#include <random>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr double releaseSeconds = 60;
// The jump is looked for between a segment ending at 10 s and one starting at 50 s.
constexpr double earliest = 10, latest = 50;
constexpr double late = 0.3;
const QString ffmpeg = u"/usr/bin/ffmpeg"_s;

// Whether a splice at `placed` instead of `at` gives the same sound: the German release is
// silent (40 dB below its average) wherever the two differ, at the lags before and after.
bool sameSound(const QString &german, double at, double placed, double from, double to)
{
    const auto pcm = decodeMonoPcm(ffmpeg, {QUrl::fromLocalFile(german), 0, 0, 600}, {});
    if (!pcm || pcm->empty())
        return false;
    double average = 0;
    for (const std::int16_t sample : *pcm)
        average += double(sample) * sample;
    average /= double(pcm->size());
    const double low = std::min(at, placed), high = std::max(at, placed);
    for (const double lag : {from, to}) {
        const auto first = std::size_t(std::max(0.0, (low + lag) * syncSampleRate));
        const auto end = std::min(pcm->size(), std::size_t((high + lag) * syncSampleRate));
        for (std::size_t n = first; n < end; n += syncSampleRate / 100) {
            double power = 0;
            for (std::size_t k = n; k < std::min(end, n + syncSampleRate / 100); ++k)
                power += double((*pcm)[k]) * (*pcm)[k];
            if (power / (syncSampleRate / 100) > 1e-4 * average)
                return false;
        }
    }
    return true;
}

// One cut per seed, or two cuts 8 s apart that the segments show as one jump: no single
// place splices those right, so every place given is wrong.
void calibrate(QTextStream &out, const QString &folder, SoundFamily family, const char *name,
               float roomTone, bool twoCuts, int seeds)
{
    std::mt19937 random(20261207);
    std::uniform_real_distribution<double> unit(0, 1);
    const auto anExtra = [&] {
        const double size = 0.5 + 3.5 * unit(random);
        return unit(random) < 0.5 ? size : -size;
    };
    int close = 0, silent = 0, wrong = 0, unplaced = 0;
    double worst = 0;
    for (int seed = 1; seed <= seeds; ++seed) {
        const double at = 15 + (twoCuts ? 22 : 30) * unit(random);
        QList<ReleaseEdit> edits{{at, anExtra()}};
        if (twoCuts)
            edits << ReleaseEdit{at + 8, anExtra()};
        double extra = 0;
        for (const ReleaseEdit &edit : edits)
            extra += edit.seconds;
        const QString english = folder + u"/english.flac"_s;
        const QString german = folder + u"/german.flac"_s;
        const QString failed =
            writeRelease(english,
                         makeSoundtrack(family, Language::english, unsigned(seed), 70, roomTone),
                         {}, releaseSeconds) +
            writeEditedRelease(german,
                               makeSoundtrack(family, Language::german, unsigned(seed), 70,
                                              roomTone),
                               1, late, edits, releaseSeconds + extra);
        if (!failed.isEmpty()) {
            out << failed << Qt::endl;
            return;
        }
        const SyncJump jump{0, late, late + extra, earliest, latest};
        const QList<CutLocation> found =
            locateCuts({QUrl::fromLocalFile(english), 0, releaseSeconds},
                       {QUrl::fromLocalFile(german), 0, releaseSeconds + extra}, {ffmpeg},
                       {.cuts = {jump}});
        const std::optional<double> placed =
            found.isEmpty() ? std::nullopt : found.first().englishSeconds;
        const double error = placed ? std::abs(*placed - at) : 0;
        if (!placed) {
            ++unplaced;
        } else if (!twoCuts && error <= 0.05) {
            ++close;
            worst = std::max(worst, error);
        } else if (!twoCuts && sameSound(german, at, *placed, late, late + extra)) {
            ++silent;
        } else {
            ++wrong;
            out << u"  %1: cut at %2, %3 s, placed at %4"_s.arg(QString::fromUtf8(name))
                       .arg(at, 0, 'f', 3)
                       .arg(extra, 0, 'f', 3)
                       .arg(*placed, 0, 'f', 2)
                << Qt::endl;
        }
    }
    out << (roomTone > 0 ? u"room tone, "_s : u"silence between events, "_s)
        << (twoCuts ? u"two cuts, "_s : u""_s)
        << u"%1: %2 within 0.05 s (worst %3 s), %4 further in German silence (the same "
           u"splice), %5 placed wrongly, %6 not placed"_s.arg(QString::fromUtf8(name))
               .arg(close)
               .arg(worst, 0, 'f', 3)
               .arg(silent)
               .arg(wrong)
               .arg(unplaced)
        << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seeds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 12;
    QTextStream out(stdout);
    QTemporaryDir dir;
    for (const bool twoCuts : {false, true}) {
        for (const float roomTone : {0.0f, 0.03f}) {
            for (const auto &[family, name] : soundFamilies) {
                if (argc <= 2 || QString::fromUtf8(name) == QString::fromUtf8(argv[2]))
                    calibrate(out, dir.path(), family, name, roomTone, twoCuts, seeds);
            }
        }
    }
    return 0;
}
