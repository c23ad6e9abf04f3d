// Calibrates the audio sync check on generated episodes of three families of material: for each
// seed one related pair (a constant offset, a cut or a drift, at PAL speed or not) and one
// unrelated pair (the English track against the next seed's German release). Prints, per
// family, how often the check found the truth, missed it ("nicht sicher") or trusted something
// wrong, and how the segments' scores spread.
//
//     bench_synccalibration [SEEDS_PER_FAMILY [EPISODE_MINUTES [SEGMENT_SECONDS]]]

#include "analysis/PalSpeedup.h"
#include "support/SyncMedia.h"
#include "sync/SyncChecker.h"
#include "sync/SyncSegments.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <random>

using namespace Qt::Literals::StringLiterals;

namespace {

enum class Outcome { found, missed, wrong };

struct Truth {
    ReleaseTiming timing;
    SyncPattern pattern = SyncPattern::constant;
};

// A constant offset of up to ±10 s for most seeds, a cut or a 0.1 % drift for some; PAL speed
// for half of them.
Truth drawTruth(std::mt19937 &random, int seed, double seconds)
{
    std::uniform_real_distribution<double> unit(0, 1);
    const bool pal = unit(random) < 0.5;
    Truth truth{{pal ? palTimingFactor : 1.0, std::round((unit(random) * 20 - 10) * 100) / 100}};
    if (seed % 8 == 6) {
        truth.pattern = SyncPattern::cut;
        truth.timing.cutAt = seconds * (0.25 + 0.5 * unit(random));
        truth.timing.extraSeconds = 0.5 + 2.5 * unit(random);
    } else if (seed % 8 == 7) {
        truth.pattern = SyncPattern::drift;
        truth.timing.stretch = 23.976 / 24; // played at 23.976 frames per second, not 24
    } else if (std::abs(truth.timing.lateSeconds) < 0.04) {
        truth.pattern = SyncPattern::inSync;
    }
    return truth;
}

// The check is told of PAL speed, as the analysis tells it; a drift it has to find itself.
double toldStretch(const ReleaseTiming &timing)
{
    return timing.stretch > 1.01 ? timing.stretch : 1.0;
}

Outcome judge(const SyncAssessment &found, const Truth &truth, double seconds, double share)
{
    if (found.pattern == SyncPattern::unsure)
        return Outcome::missed;
    if (found.pattern != truth.pattern)
        return Outcome::wrong;
    const double late = truth.timing.lateSeconds;
    switch (truth.pattern) {
    case SyncPattern::inSync:
    case SyncPattern::constant:
        return std::abs(found.offsetSeconds - late) <= 0.02 ? Outcome::found : Outcome::wrong;
    case SyncPattern::cut:
        return std::abs(found.cutSeconds - truth.timing.cutAt) <= share &&
                       std::abs(found.toSeconds - late - truth.timing.extraSeconds) <= 0.02
                   ? Outcome::found
                   : Outcome::wrong;
    case SyncPattern::drift: {
        const double end = late + seconds * (1 / truth.timing.stretch - 1);
        return std::abs(found.toSeconds - end) <= 0.05 ? Outcome::found : Outcome::wrong;
    }
    case SyncPattern::unsure:
        break;
    }
    return Outcome::wrong;
}

// The most segments whose best matches lie within 0.05 s of each other, whatever their scores:
// how close unrelated audio came to the three that an offset needs.
qsizetype mostAgreeing(const SyncMeasurement &measurement)
{
    std::vector<double> lags;
    for (const SyncSegment &segment : measurement.segments)
        if (segment.lagSeconds)
            lags.push_back(*segment.lagSeconds);
    std::sort(lags.begin(), lags.end());
    qsizetype most = 0;
    for (std::size_t first = 0, last = 0; last < lags.size(); ++last) {
        while (lags[last] - lags[first] > 0.05)
            ++first;
        most = std::max(most, qsizetype(last - first + 1));
    }
    return most;
}

struct Tally {
    int related = 0, found = 0, missed = 0, wrong = 0;
    int unrelated = 0, falseTrust = 0;
    qsizetype mostAgreeingUnrelated = 0;
    std::vector<double> relatedScores, unrelatedScores; // of every segment with a match
};

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return qQNaN();
    std::sort(values.begin(), values.end());
    return values[std::size_t(fraction * double(values.size() - 1))];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList arguments = app.arguments();
    const int seeds = arguments.size() > 1 ? arguments.at(1).toInt() : 40;
    const double seconds = (arguments.size() > 2 ? arguments.at(2).toDouble() : 11) * 60;
    SyncSegmentLayout layout;
    if (arguments.size() > 3)
        layout.segmentSeconds = arguments.at(3).toDouble();
    const double share = seconds / double(planSyncSegments(seconds, layout).size());
    const double filmSeconds = seconds + 20; // a German release 10 s early still has sound

    QTemporaryDir dir;
    const SyncCheckOptions options{u"/usr/bin/ffmpeg"_s};
    for (const auto &[family, name] : {std::pair{SoundFamily::effects, u"effects"_s},
                                       {SoundFamily::speech, u"speech"_s},
                                       {SoundFamily::music, u"music"_s}}) {
        Tally tally;
        std::mt19937 random(17);
        SyncSource previousEnglish;
        for (int seed = 0; seed <= seeds; ++seed) {
            const Truth truth = drawTruth(random, seed, seconds);
            const QString english = dir.filePath(u"%1-%2-eng.mka"_s.arg(name).arg(seed));
            const QString german = dir.filePath(u"%1-%2-ger.mka"_s.arg(name).arg(seed));
            const double germanSeconds = seconds / truth.timing.stretch;
            const QString error =
                writeRelease(english, makeSoundtrack(family, Language::english, seed, filmSeconds),
                             {}, seconds) +
                writeRelease(german, makeSoundtrack(family, Language::german, seed, filmSeconds),
                             truth.timing, germanSeconds);
            if (!error.isEmpty()) {
                out << error << '\n';
                return 1;
            }
            const SyncSource englishSource{QUrl::fromLocalFile(english), 0, seconds};
            const SyncSource germanSource{QUrl::fromLocalFile(german), 0, germanSeconds};
            SyncCheckOptions told = options;
            told.localizedStretch = toldStretch(truth.timing);
            if (seed < seeds) {
                // As the check runs: jumps are located, which an edge segment's jump needs.
                const SyncMeasurement measured =
                    measureAndLocate(englishSource, germanSource, told, layout);
                const SyncAssessment found = assessSync(measured);
                switch (judge(found, truth, seconds, share)) {
                case Outcome::found:
                    ++tally.found;
                    break;
                case Outcome::missed:
                    ++tally.missed;
                    break;
                case Outcome::wrong:
                    ++tally.wrong;
                    out << u"  %1 seed %2: wrong (pattern %3, offset %4)\n"_s.arg(name)
                               .arg(seed)
                               .arg(int(found.pattern))
                               .arg(found.offsetSeconds);
                    break;
                }
                ++tally.related;
                for (const SyncSegment &segment : measured.segments)
                    if (segment.lagSeconds)
                        tally.relatedScores.push_back(segment.score);
            }
            if (seed > 0) {
                // The previous seed's English against this seed's German: nothing shared.
                const SyncMeasurement measured =
                    measureSync(previousEnglish, germanSource, told, layout);
                ++tally.unrelated;
                if (assessSync(measured).pattern != SyncPattern::unsure)
                    ++tally.falseTrust;
                tally.mostAgreeingUnrelated =
                    std::max(tally.mostAgreeingUnrelated, mostAgreeing(measured));
                for (const SyncSegment &segment : measured.segments)
                    if (segment.lagSeconds)
                        tally.unrelatedScores.push_back(segment.score);
            }
            previousEnglish = englishSource;
            QFile::remove(dir.filePath(u"%1-%2-eng.mka"_s.arg(name).arg(seed - 1)));
            QFile::remove(dir.filePath(u"%1-%2-ger.mka"_s.arg(name).arg(seed - 1)));
        }
        out << u"%1: related %2 (found %3, missed %4, wrong %5), unrelated %6 (false trust %7, at "
               u"most "
               u"%8 segments agreed)\n"_s.arg(name)
                   .arg(tally.related)
                   .arg(tally.found)
                   .arg(tally.missed)
                   .arg(tally.wrong)
                   .arg(tally.unrelated)
                   .arg(tally.falseTrust)
                   .arg(tally.mostAgreeingUnrelated);
        out << u"  segment scores, related: 10th percentile %1, median %2; unrelated: median %3, "
               u"99th percentile %4, max %5\n"_s
                   .arg(percentile(tally.relatedScores, 0.1), 0, 'f', 1)
                   .arg(percentile(tally.relatedScores, 0.5), 0, 'f', 1)
                   .arg(percentile(tally.unrelatedScores, 0.5), 0, 'f', 1)
                   .arg(percentile(tally.unrelatedScores, 0.99), 0, 'f', 1)
                   .arg(percentile(tally.unrelatedScores, 1.0), 0, 'f', 1);
        out.flush();
    }
    return 0;
}
