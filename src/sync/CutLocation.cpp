// Locating a jump of the lag: both tracks compared frame by frame along the two known lags.
#include "CutLocation.h"

#include "AudioDecoding.h"
#include "JumpEvidence.h"
#include "PhaseAgreement.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// What a located jump may be off by, in frames.
constexpr int toleranceFrames = 5;
// The segments give each lag to a few milliseconds; the phases of a frequency agree only within
// a fraction of its period, so each lag is refined within ±15 ms first.
constexpr int refineSamples = 60;
// A boundary is clear when every other one further than the tolerance explains the audio
// worse by this many standard deviations of the noise, and by at least `smallestLead` frames
// of fully matching sound. Where neither track has shared sound around the jump (a pause in
// silence), every boundary in the pause explains it alike.
constexpr double clearDeviations = 2;
constexpr double smallestLead = 0.3;
// Each side must show this many frames of matching sound, so a jump to a lag that the audio
// does not follow is not placed at an end of the stretch.
constexpr double leastEvidence = 20;

// Each side of a placed jump is checked in windows of 2 s, laid outwards from 0.1 s beyond the
// place. A window whose phases agree this many standard deviations of the noise at some shift
// within ±15 ms of the side's lag, but within a sample of the lag less than half as well, follows
// another lag. The sample allows for a lag that moves by a fraction of one along the stretch.
constexpr std::size_t sideFrames = 200;
constexpr std::size_t sideMarginFrames = 10;
constexpr double strayDeviations = 4;
constexpr double onLagShare = 0.5;

// A pause in which the jump cannot be told apart is spliced in its middle where the German
// track is silent at both lags, 40 dB below its average, over the whole of it; longer than
// this, it is not believed to be one pause.
constexpr double silentBelow = 1e-4;
constexpr double longestSilentChoice = 3;

// The lag near `lag` at which both tracks agree best in phase over the stretch: the part of it
// with the other lag only adds chance, and a held note, whose waveform matches itself a period
// away as well, cannot outweigh the rest of the spectrum. Absent when nothing agrees, or when the
// best lies at the edge of the search.
std::optional<double> refinedLag(const FrameSpectra &english, const std::vector<float> &german,
                                 const JumpAudio &audio, double lag)
{
    const PhaseShift shift =
        bestPhaseShift(english, germanSpectra(audio, german, lag, english.frames()), 0,
                       english.frames(), refineSamples);
    if (!(shift.agreement > 0) || std::abs(shift.samples) == refineSamples)
        return std::nullopt;
    return lag + shift.samples / syncSampleRate;
}

double meanSquare(const std::vector<float> &values)
{
    return values.empty() ? 0
                          : std::inner_product(values.begin(), values.end(), values.begin(), 0.0) /
                                double(values.size());
}

// Whether the `german` samples are silent where boundaries from frame `first` to `end` disagree:
// at the earlier lag over those frames, and at the later one over the same frames moved past
// the `missing` frames of English material the German release lacks. There it makes no
// difference where between them the lag changes.
bool silentAtBoth(const JumpAudio &audio, const std::vector<float> &german, double from, double to,
                  std::size_t first, std::size_t end, std::size_t missing)
{
    const double loudness = meanSquare(german);
    for (const auto &[lag, shift] : {std::pair(from, std::size_t(0)), std::pair(to, missing)}) {
        const std::vector<float> shifted =
            germanAt(audio, german, lag, (end + shift) * frameSamples);
        for (std::size_t k = first + shift; k < end + shift; ++k) {
            const auto frame = shifted.begin() + std::ptrdiff_t(k * frameSamples);
            const double power =
                std::inner_product(frame, frame + frameSamples, frame, 0.0) / frameSamples;
            if (power > silentBelow * loudness)
                return false;
        }
    }
    return true;
}

// Whether frames [first, end) of the German spectra follow another lag than the one they were
// taken at, in windows laid from `end` back when `backwards`, else from `first` on. A held note,
// matched against the same note of the German track at another lag, agrees over its whole length a
// fraction of its period away; where the same sound lines up, the phases agree best on the lag, or
// as well a whole period away. Two cuts between the same segments leave such a stretch on one side
// of any single place, where the noise of the boundaries' sums alone can miss it.
bool strays(const FrameSpectra &english, const FrameSpectra &grid, const EvidenceNoise &noise,
            std::size_t first, std::size_t end, bool backwards)
{
    for (std::size_t done = sideFrames; first + done <= end; done += sideFrames) {
        const std::size_t window = backwards ? end - done : first + done - sideFrames;
        const PhaseShift shift = bestPhaseShift(english, grid, window, sideFrames, refineSamples);
        const double deviation = std::sqrt(noise.variance(window, window + sideFrames));
        if (shift.agreement >= strayDeviations * deviation &&
            shift.agreementNearUnshifted < onLagShare * shift.agreement)
            return true;
    }
    return false;
}

} // namespace

std::optional<double> locateJump(const JumpAudio &audio, double fromLag, double toLag)
{
    // The English spectra are made once for every lag the German track is compared at.
    const FrameSpectra english(scaled(audio.english), frameSamples);
    const std::vector<float> german = scaled(audio.german);
    const std::size_t frames = english.frames();
    const std::optional<double> from = refinedLag(english, german, audio, fromLag);
    const std::optional<double> to = refinedLag(english, german, audio, toLag);
    if (!from || !to)
        return std::nullopt;
    const FrameSpectra germanFrom = germanSpectra(audio, german, *from, frames);
    const FrameSpectra germanTo = germanSpectra(audio, german, *to, frames);
    const std::vector<double> before = phaseAgreement(english, germanFrom);
    const std::vector<double> after = phaseAgreement(english, germanTo);
    // English material the German release lacks follows neither lag.
    const auto missing = std::size_t(std::lround(std::max(0.0, *from - *to) / frameSeconds));
    if (frames < missing + 2 * toleranceFrames + 2)
        return std::nullopt;

    // score[c]: the evidence when frames before c follow `from` and those from c + missing on
    // follow `to`.
    std::vector<double> score(frames - missing + 1);
    double sum = std::accumulate(after.begin() + std::ptrdiff_t(missing), after.end(), 0.0);
    for (std::size_t c = 0; c < score.size(); ++c) {
        score[c] = sum;
        if (c < frames)
            sum += before[c];
        if (c + missing < frames)
            sum -= after[c + missing];
    }
    const auto best = std::size_t(std::max_element(score.begin(), score.end()) - score.begin());
    const double followingFrom =
        std::accumulate(before.begin(), before.begin() + std::ptrdiff_t(best), 0.0);
    if (followingFrom < leastEvidence || score[best] - followingFrom < leastEvidence)
        return std::nullopt;

    const EvidenceNoise noise(audio, english, german, std::min(*from, *to), std::max(*from, *to));
    // The boundaries that explain the audio about as well as the best one.
    std::size_t earliest = best, latest = best;
    for (std::size_t c = 0; c < score.size(); ++c) {
        if (std::abs(std::ptrdiff_t(c) - std::ptrdiff_t(best)) <= toleranceFrames)
            continue;
        // The frames that change sides between the two boundaries, at either end of the gap.
        const std::size_t low = std::min(c, best), high = std::max(c, best);
        const double variance =
            noise.variance(low, high) + noise.variance(low + missing, high + missing);
        if (score[best] - score[c] < std::max(smallestLead, clearDeviations * std::sqrt(variance)))
            earliest = std::min(earliest, c), latest = std::max(latest, c);
    }
    // The last frame with the earlier lag ends at the boundary. Rivals are harmless only where
    // the German track is silent at both lags between them: any of them then splices the same
    // sound.
    const bool clear = earliest == best && latest == best;
    if (!clear && ((latest - earliest) * frameSeconds > longestSilentChoice ||
                   !silentAtBoth(audio, german, *from, *to, earliest, latest, missing)))
        return std::nullopt;
    const std::size_t beforeEnd = earliest > sideMarginFrames ? earliest - sideMarginFrames : 0;
    const std::size_t afterStart = std::min(frames, latest + missing + sideMarginFrames);
    if (strays(english, germanFrom, noise, 0, beforeEnd, true) ||
        strays(english, germanTo, noise, afterStart, frames, false))
        return std::nullopt;
    return audio.englishStart +
           (clear ? double(best) : double(earliest + latest) / 2) * frameSeconds;
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
        audio.germanStart = std::max(
            0.0,
            (start + std::min(jump.fromLagSeconds, jump.toLagSeconds) - germanMargin) / stretch);
        const double germanEnd =
            (jump.latestSeconds + std::max(jump.fromLagSeconds, jump.toLagSeconds) + germanMargin) /
            stretch;
        auto englishPcm = decodeMonoPcm(options.ffmpeg,
                                        {english.file, english.audioIndex, start, length}, limits);
        auto germanPcm = englishPcm && germanEnd > audio.germanStart
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
