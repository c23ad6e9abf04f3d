// Where folder 2's material is spliced so that a differently cut release follows the picture.
#include "CutRepair.h"

#include "sync/AudioDecoding.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The grid on which quiet moments are compared: fine enough for a fade of about 10 ms.
constexpr double stepSeconds = 0.01;
// A jump this small is no cut worth a splice.
constexpr double smallestSplice = 0.005;

// The mean square around each step: over two steps centred on it.
std::vector<double> stepEnergies(const std::vector<std::int16_t> &samples, qsizetype steps,
                                 int perStep)
{
    std::vector<double> energies(std::size_t(steps), std::numeric_limits<double>::max());
    for (qsizetype j = 0; j < steps; ++j) {
        const qsizetype first = (j + 1) * perStep - perStep, end = (j + 1) * perStep + perStep;
        if (end > qsizetype(samples.size()))
            break;
        double sum = 0;
        for (qsizetype n = first; n < end; ++n)
            sum += double(samples[std::size_t(n)]) * samples[std::size_t(n)];
        energies[std::size_t(j)] = sum / double(end - first);
    }
    return energies;
}

// The energies at the search's steps around the German moment `center`, one step of margin on
// either side; absent when it cannot be decoded.
std::optional<std::vector<double>> energiesAround(const QuietSearch &search, double center,
                                                  qsizetype steps)
{
    const double fileStep = stepSeconds / search.germanPerFile;
    const double fileStart = (center - spliceSearchSeconds) / search.germanPerFile - fileStep;
    if (fileStart < 0)
        return std::nullopt;
    const int perStep = std::max(1, int(std::lround(fileStep * syncSampleRate)));
    const std::optional<std::vector<std::int16_t>> samples =
        decodeMonoPcm(search.ffmpeg,
                      {search.file, search.audioIndex, fileStart, double(steps + 2) * fileStep},
                      {60000, search.stop});
    if (!samples)
        return std::nullopt;
    return stepEnergies(*samples, steps, perStep);
}

} // namespace

std::optional<double> SpliceMap::splicedTime(double german) const
{
    double shift = 0;
    for (const Splice &splice : splices) {
        if (german < splice.germanSeconds)
            break;
        if (german < splice.germanSeconds + splice.extraSeconds)
            return std::nullopt;
        shift += splice.extraSeconds;
    }
    return german - shift;
}

double SpliceMap::splicedEnd(double german) const
{
    double shift = 0;
    for (const Splice &splice : splices) {
        if (german < splice.germanSeconds)
            break;
        if (german < splice.germanSeconds + splice.extraSeconds)
            return splice.germanSeconds - shift;
        shift += splice.extraSeconds;
    }
    return german - shift;
}

std::optional<SpliceMap> plannedSplices(const SyncCorrection &correction)
{
    SpliceMap map;
    for (const SyncCut &cut : correction.cuts) {
        const double extra = cut.extraGermanSeconds();
        if (std::abs(extra) < smallestSplice)
            continue;
        const Splice splice{cut.englishSeconds, cut.englishSeconds + cut.fromLagSeconds, extra};
        if (!std::isfinite(splice.germanSeconds) || !std::isfinite(extra) ||
            std::abs(extra) > longestPlausibleSplice ||
            splice.germanSeconds < spliceSearchSeconds)
            return std::nullopt;
        // Two searches that overlap could put a splice inside the stretch removed before it.
        if (!map.splices.isEmpty()) {
            const Splice &before = map.splices.last();
            if (splice.germanSeconds - 2 * spliceSearchSeconds <=
                before.germanSeconds + std::max(before.extraSeconds, 0.0))
                return std::nullopt;
        }
        map.splices << splice;
    }
    if (map.splices.isEmpty())
        return std::nullopt;
    return map;
}

SpliceMap quietestSplices(const SpliceMap &map, const QuietSearch &search)
{
    SpliceMap quiet = map;
    const auto steps = qsizetype(std::lround(2 * spliceSearchSeconds / stepSeconds)) + 1;
    for (Splice &splice : quiet.splices) {
        const std::optional<std::vector<double>> here =
            energiesAround(search, splice.germanSeconds, steps);
        // Removed material joins the moment where the removal ends to the one where it begins.
        const std::optional<std::vector<double>> there =
            splice.extraSeconds > 0
                ? energiesAround(search, splice.germanSeconds + splice.extraSeconds, steps)
                : std::optional(std::vector<double>(std::size_t(steps), 0.0));
        if (!here || !there)
            continue;
        const double fileStep = stepSeconds / search.germanPerFile;
        std::optional<std::pair<double, double>> best; // energy, distance from the cut
        double bestShift = 0;
        for (qsizetype j = 0; j < steps; ++j) {
            const double energy = (*here)[std::size_t(j)] + (*there)[std::size_t(j)];
            const double shift = (double(j) * fileStep) * search.germanPerFile -
                                 spliceSearchSeconds;
            const std::pair<double, double> key{energy, std::abs(shift)};
            if (!best || key < *best) {
                best = key;
                bestShift = shift;
            }
        }
        splice.germanSeconds += bestShift;
    }
    return quiet;
}
