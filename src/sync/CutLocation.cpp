// Locating a jump of the lag: loudness frames of both tracks compared along the two known lags.
#include "CutLocation.h"

#include "AudioDecoding.h"
#include "Envelope.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr double frameSeconds = 0.01;
// What a located jump may be off by, in frames.
constexpr int toleranceFrames = 5;
// Loudness differences are capped so that dialogue over a shared effect, which differs between
// the languages, cannot outweigh the many frames where the shared sound decides.
constexpr float largestDifference = 3;
// A boundary whose cost another one further than the tolerance comes this close to is not
// clear: the audio around it is too quiet or too alike to tell. Less let a held note place a
// jump a third of a second early.
constexpr double clearMargin = 3.0;
// Windows that check each side of the boundary, and how far from it they stay.
constexpr int windowFrames = 300;
constexpr int windowGapFrames = 10;
// A window tells something when the unrelated lag differs this much per frame on average, and
// follows its lag when that lag differs at most this share of it.
constexpr double informativeDifference = 0.4;
constexpr double matchingShare = 0.5;
// Compared as a lag that matches nothing: further than any echo or held note carries.
constexpr double unrelatedLag = 4.1;

// Log loudness of `count` frames of the emphasised samples, frame k spanning the samples from
// first + k·width; samples outside the decoded stretch count as silence.
std::vector<float> loudness(const std::vector<float> &samples, double first, double width,
                            std::size_t count)
{
    std::vector<float> frames(count);
    for (std::size_t k = 0; k < count; ++k) {
        const auto begin = std::ptrdiff_t(std::floor(first + double(k) * width));
        const auto end = std::ptrdiff_t(std::floor(first + double(k + 1) * width));
        double energy = 0;
        for (std::ptrdiff_t i = std::max<std::ptrdiff_t>(0, begin);
             i < std::min<std::ptrdiff_t>(end, std::ptrdiff_t(samples.size())); ++i)
            energy += double(samples[std::size_t(i)]) * samples[std::size_t(i)];
        const double rms = end > begin ? std::sqrt(energy / double(end - begin)) : 0;
        frames[k] = float(std::log(rms + 1e-3));
    }
    return frames;
}

// Per English frame: how far the German frame at `lag` sounds from it (lower: more alike).
std::vector<float> differences(const std::vector<float> &english, const std::vector<float> &german,
                               const JumpAudio &audio, double lag)
{
    const double first =
        ((audio.englishStart + lag) / audio.stretch - audio.germanStart) * syncSampleRate;
    const std::vector<float> shifted =
        loudness(german, first, frameSeconds / audio.stretch * syncSampleRate, english.size());
    std::vector<float> result(english.size());
    for (std::size_t k = 0; k < english.size(); ++k)
        result[k] = std::min(largestDifference, std::abs(english[k] - shifted[k]));
    return result;
}

double mean(const std::vector<float> &values, std::size_t begin, std::size_t end)
{
    return std::accumulate(values.begin() + std::ptrdiff_t(begin),
                           values.begin() + std::ptrdiff_t(end), 0.0) /
           double(end - begin);
}

// Whether every window of [begin, end) that tells anything follows `matched`.
bool follows(const std::vector<float> &matched, const std::vector<float> &unrelated,
             std::size_t begin, std::size_t end)
{
    for (std::size_t w = begin; w + windowFrames <= end; w += windowFrames) {
        const double baseline = mean(unrelated, w, w + windowFrames);
        if (baseline >= informativeDifference &&
            mean(matched, w, w + windowFrames) > matchingShare * baseline)
            return false;
    }
    return true;
}

} // namespace

std::optional<double> locateJump(const JumpAudio &audio, double fromLag, double toLag)
{
    const std::vector<float> emphasisedEnglish = emphasised(audio.english);
    const std::vector<float> emphasisedGerman = emphasised(audio.german);
    const auto count = std::size_t(double(audio.english.size()) / syncSampleRate / frameSeconds);
    const std::vector<float> english =
        loudness(emphasisedEnglish, 0, frameSeconds * syncSampleRate, count);
    const std::vector<float> before = differences(english, emphasisedGerman, audio, fromLag);
    const std::vector<float> after = differences(english, emphasisedGerman, audio, toLag);
    // English material the German release lacks follows neither lag.
    const auto missing = std::size_t(std::lround(std::max(0.0, fromLag - toLag) / frameSeconds));
    if (count < missing + 2 * windowFrames)
        return std::nullopt;

    // cost[c]: the differences when frames before c follow fromLag and those from c + missing on
    // follow toLag.
    std::vector<double> cost(count - missing + 1);
    double sum = std::accumulate(after.begin() + std::ptrdiff_t(missing), after.end(), 0.0);
    for (std::size_t c = 0; c < cost.size(); ++c) {
        cost[c] = sum;
        if (c < count)
            sum += before[c];
        if (c + missing < count)
            sum -= after[c + missing];
    }
    const auto best = std::size_t(std::min_element(cost.begin(), cost.end()) - cost.begin());
    for (std::size_t c = 0; c < cost.size(); ++c) {
        if (cost[c] < cost[best] + clearMargin &&
            std::abs(std::ptrdiff_t(c) - std::ptrdiff_t(best)) > toleranceFrames)
            return std::nullopt;
    }

    // A third lag in between, a jump the segments did not see, follows neither of the two.
    const std::vector<float> unrelated =
        differences(english, emphasisedGerman, audio, fromLag - unrelatedLag);
    const std::size_t end = best > windowGapFrames ? best - windowGapFrames : 0;
    std::vector<float> reversed(before.rend() - std::ptrdiff_t(end), before.rend());
    std::vector<float> reversedUnrelated(unrelated.rend() - std::ptrdiff_t(end), unrelated.rend());
    if (!follows(reversed, reversedUnrelated, 0, end) ||
        !follows(after, unrelated, std::min(count, best + missing + windowGapFrames), count))
        return std::nullopt;
    // The last frame with the earlier lag ends at the boundary.
    return audio.englishStart + double(best) * frameSeconds;
}

QList<CutLocation> locateCuts(const SyncSource &english, const SyncSource &german,
                              const SyncCheckOptions &options, const SyncAssessment &assessment)
{
    QList<CutLocation> locations;
    const double stretch = options.localizedStretch > 0 ? options.localizedStretch : 1.0;
    for (const SyncJump &jump : assessment.cuts) {
        if (options.stop && options.stop->load())
            return {};
        CutLocation location{jump.fromLagSeconds, jump.toLagSeconds};
        const DecodeLimits limits{options.decodeTimeoutMilliseconds, options.stop};
        const double start = std::max(0.0, jump.earliestSeconds);
        const double length = jump.latestSeconds - start;
        JumpAudio audio{.englishStart = start, .stretch = stretch};
        audio.germanStart =
            std::max(0.0, (start + std::min(jump.fromLagSeconds, jump.toLagSeconds) - 1) / stretch);
        const double germanEnd = (jump.latestSeconds + std::max(jump.fromLagSeconds,
                                                                jump.toLagSeconds) + 1) / stretch;
        auto englishPcm =
            decodeMonoPcm(options.ffmpeg, {english.file, english.audioIndex, start, length}, limits);
        auto germanPcm =
            englishPcm && germanEnd > audio.germanStart
                ? decodeMonoPcm(options.ffmpeg,
                                {german.file, german.audioIndex, audio.germanStart,
                                 germanEnd - audio.germanStart},
                                limits)
                : std::nullopt;
        if (englishPcm && germanPcm) {
            audio.english = std::move(*englishPcm);
            audio.german = std::move(*germanPcm);
            location.englishSeconds = locateJump(audio, jump.fromLagSeconds, jump.toLagSeconds);
        }
        locations << location;
    }
    return locations;
}
