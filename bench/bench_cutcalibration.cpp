// Calibrates the location of cuts on generated releases of three families of material: for
// each seed, one cut at a random moment between two segments, the German release longer or
// shorter there by a random amount. Prints, per family, how often the cut was placed within
// 0.05 s, placed further off (a wrong splice), or left unplaced ("nicht sicher"): once with
// the beds silent between their events, once with a room tone under them, as films have.
//
// Then the same for two cuts 8 s and 3 s apart that the segments see as one jump: a single
// place is wrong unless the German track is silent wherever it plays other audio than the
// release's own two edits.
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

// Where the German release plays English film time `film`: each edit before it moves it by its
// length; film the German release skips plays nowhere.
std::optional<double> germanTimeOf(double film, const QList<ReleaseEdit> &edits)
{
    double lag = late;
    for (const ReleaseEdit &edit : edits) {
        if (film < edit.atSeconds)
            break;
        if (film < edit.atSeconds - edit.seconds)
            return std::nullopt;
        lag += edit.seconds;
    }
    return film + lag;
}

// Whether one splice at `placed` gives the same sound as the release's own edits: wherever the
// two play different German audio over the stretch, both are silent (40 dB below the track's
// average). A splice where the German release lacks material plays silence in its place.
bool sameSound(const QString &german, const QList<ReleaseEdit> &edits, double placed, double extra)
{
    const auto pcm = decodeMonoPcm(ffmpeg, {QUrl::fromLocalFile(german), 0, 0, 600}, {});
    if (!pcm || pcm->empty())
        return false;
    double average = 0;
    for (const std::int16_t sample : *pcm)
        average += double(sample) * sample;
    average /= double(pcm->size());
    constexpr std::size_t frame = syncSampleRate / 100;
    const auto silentAt = [&](std::optional<double> time) {
        if (!time)
            return true;
        const auto first = std::size_t(std::max(0.0, *time * syncSampleRate));
        double power = 0;
        for (std::size_t k = first; k < std::min(pcm->size(), first + frame); ++k)
            power += double((*pcm)[k]) * (*pcm)[k];
        return power / frame <= 1e-4 * average;
    };
    for (double film = earliest; film < latest; film += 0.01) {
        const std::optional<double> wanted = germanTimeOf(film, edits);
        std::optional<double> spliced;
        if (film < placed)
            spliced = film + late;
        else if (film >= placed + std::max(0.0, -extra))
            spliced = film + late + extra;
        const bool same = wanted && spliced && std::abs(*wanted - *spliced) < 0.002;
        if (!same && (!silentAt(wanted) || !silentAt(spliced)))
            return false;
    }
    return true;
}

// One cut per seed, or two cuts `apart` seconds apart that the segments show as one jump: no
// single place splices those right unless the German track is silent where the places differ.
void calibrate(QTextStream &out, const QString &folder, SoundFamily family, const char *name,
               float roomTone, double apart, int seeds)
{
    const bool twoCuts = apart > 0;
    std::mt19937 random(20261207);
    std::uniform_real_distribution<double> unit(0, 1);
    const auto anExtra = [&] {
        const double size = 0.5 + 3.5 * unit(random);
        return unit(random) < 0.5 ? size : -size;
    };
    int close = 0, silent = 0, wrong = 0, unplaced = 0;
    double worst = 0;
    for (int seed = 1; seed <= seeds; ++seed) {
        const double at = 15 + (twoCuts ? 30 - apart - 4 : 30) * unit(random);
        QList<ReleaseEdit> edits{{at, anExtra()}};
        // Film the German release skips at the first cut does not count into the distance. Two
        // edits that nearly cancel are no jump the segments would show.
        if (twoCuts) {
            double second = anExtra();
            while (std::abs(edits.first().seconds + second) < 0.5)
                second = anExtra();
            edits << ReleaseEdit{at + std::max(0.0, -edits.first().seconds) + apart, second};
        }
        double extra = 0;
        for (const ReleaseEdit &edit : edits)
            extra += edit.seconds;
        const QString english = folder + u"/english.flac"_s;
        const QString german = folder + u"/german.flac"_s;
        const QString failed =
            writeRelease(english,
                         makeSoundtrack(family, Language::english, unsigned(seed), 70, roomTone),
                         {}, releaseSeconds) +
            writeEditedRelease(
                german, makeSoundtrack(family, Language::german, unsigned(seed), 70, roomTone), 1,
                late, edits, releaseSeconds + extra);
        if (!failed.isEmpty()) {
            out << failed << Qt::endl;
            return;
        }
        const SyncJump jump{0, late, late + extra, earliest, latest};
        const QList<CutLocation> found = locateCuts(
            {QUrl::fromLocalFile(english), 0, releaseSeconds},
            {QUrl::fromLocalFile(german), 0, releaseSeconds + extra}, {ffmpeg}, {.cuts = {jump}});
        const std::optional<double> placed =
            found.isEmpty() ? std::nullopt : found.first().englishSeconds;
        const double error = placed ? std::abs(*placed - at) : 0;
        if (!placed) {
            ++unplaced;
        } else if (!twoCuts && error <= 0.05) {
            ++close;
            worst = std::max(worst, error);
        } else if (sameSound(german, edits, *placed, extra)) {
            ++silent;
        } else {
            ++wrong;
            out << u"  %1:"_s.arg(QString::fromUtf8(name));
            for (const ReleaseEdit &edit : edits)
                out << u" cut at %1, %2 s;"_s.arg(edit.atSeconds, 0, 'f', 3)
                           .arg(edit.seconds, 0, 'f', 3);
            out << u" placed at %1"_s.arg(*placed, 0, 'f', 2) << Qt::endl;
        }
    }
    out << (roomTone > 0 ? u"room tone, "_s : u"silence between events, "_s)
        << (twoCuts ? u"two cuts %1 s apart, "_s.arg(apart) : u""_s)
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
    for (const double apart : {0.0, 8.0, 3.0}) {
        for (const float roomTone : {0.0f, 0.03f}) {
            for (const auto &[family, name] : soundFamilies) {
                if (argc <= 2 || QString::fromUtf8(name) == QString::fromUtf8(argv[2]))
                    calibrate(out, dir.path(), family, name, roomTone, apart, seeds);
            }
        }
    }
    return 0;
}
