#include "SyncCheck.h"

#include "AudioDecoding.h"
#include "CrossCorrelation.h"
#include "Envelope.h"
#include "SyncWindows.h"

#include <algorithm>
#include <cmath>

namespace {

// Offsets searched: a logo, a recap or black at the start rarely shifts a dub by more.
constexpr int maxLagFrames = 30 * envelopeRate;
// Peaks closer to the main one than this belong to it (smeared onsets, echoes).
constexpr int neighbourhoodFrames = envelopeRate / 2;
// The main correlation peak must be this many times higher than the next-best one. Unrelated
// audio has only chance alignments, whose highest two peaks are of similar height: ratios of
// 1.0 to 1.6 over 60 generated pairs with 40 and 90 s windows. Pairs that share only music
// and effects reached 2.3 to 5.3 in 90 s windows, and the peak grows with the window while
// chance peaks barely do (6 to 9 in the real five- and ten-minute windows). A false match
// would shift a whole dub, a missed one only leaves a note, so the bar sits above the chance
// ratios rather than midway.
constexpr double confidenceThreshold = 2.0;
// A window with less English audio than this has too few events to trust any peak.
constexpr double shortestWindowSeconds = 10;

bool stopped(const SyncCheckOptions &options)
{
    return options.stop && options.stop->load();
}

// The German envelope placed on the English window's frames: value i + maxLagFrames + lag
// is the German onset strength at film time start + (i + lag) / envelopeRate. Frames the
// German track does not cover stay 0, the envelope's mean.
std::vector<float> germanOnLagAxis(const std::vector<float> &germanOnsets, int leadFrames,
                                   std::size_t englishFrames)
{
    std::vector<float> placed(englishFrames + 2 * maxLagFrames, 0.0f);
    const std::ptrdiff_t shift = maxLagFrames - leadFrames;
    for (std::size_t j = 0; j < germanOnsets.size(); ++j) {
        const std::ptrdiff_t index = std::ptrdiff_t(j) + shift;
        if (index >= 0 && index < std::ptrdiff_t(placed.size()))
            placed[std::size_t(index)] = germanOnsets[j];
    }
    return placed;
}

// The German stretch for `window`, in the German file's time. It is read for maxLag longer on
// both sides (as far as it goes), so every lag compares the whole English window; starting
// `leadFrames` whole frames early keeps its frames on the English grid.
PcmRequest germanRequest(const SyncSource &german, SyncSpan window, double stretch, int leadFrames)
{
    const double filmStart = window.start - double(leadFrames) / envelopeRate;
    const double filmEnd = window.start + window.length + double(maxLagFrames) / envelopeRate;
    PcmRequest request{german.file, german.audioIndex, filmStart / stretch,
                       (filmEnd - filmStart) / stretch};
    if (german.duration > 0)
        request.lengthSeconds =
            std::min(request.lengthSeconds, german.duration - request.startSeconds);
    return request;
}

std::optional<SyncWindowResult> measureWindow(const SyncSource &english, const SyncSource &german,
                                              const SyncCheckOptions &options, SyncSpan window)
{
    const DecodeLimits limits{options.decodeTimeoutMilliseconds, options.stop};
    const auto englishPcm = decodeMonoPcm(
        options.ffmpeg, {english.file, english.audioIndex, window.start, window.length}, limits);
    if (!englishPcm || englishPcm->size() < shortestWindowSeconds * syncSampleRate)
        return std::nullopt;

    const double stretch = options.localizedStretch > 0 ? options.localizedStretch : 1.0;
    const int leadFrames =
        std::min(maxLagFrames, int(std::floor(window.start * envelopeRate + 1e-6)));
    const PcmRequest request = germanRequest(german, window, stretch, leadFrames);
    if (request.lengthSeconds <= 0 || stopped(options))
        return std::nullopt;
    const auto germanPcm = decodeMonoPcm(options.ffmpeg, request, limits);
    if (!germanPcm)
        return std::nullopt;

    // German frames last 1/stretch of an English one in the file's own time, which is the
    // same film time once stretched.
    const std::vector<float> englishOnsets =
        onsetEnvelope(*englishPcm, syncSampleRate, 1.0 / envelopeRate);
    const std::vector<float> germanOnsets =
        onsetEnvelope(*germanPcm, syncSampleRate, 1.0 / (envelopeRate * stretch));
    if (englishOnsets.empty() || germanOnsets.empty())
        return SyncWindowResult{}; // silence: decoded, but nothing to line up

    const std::vector<float> sums = crossCorrelate(
        englishOnsets, germanOnLagAxis(germanOnsets, leadFrames, englishOnsets.size()),
        maxLagFrames);
    const CorrelationPeak peak = findPeak(sums, neighbourhoodFrames);
    SyncWindowResult result;
    result.offsetSeconds = (peak.index - maxLagFrames) / envelopeRate;
    result.confidence = peak.confidence;
    result.isConfident = !peak.atEdge && peak.confidence >= confidenceThreshold;
    return result;
}

} // namespace

SyncWindowPlan planSyncWindows(double duration, const SyncWindowLengths &lengths)
{
    if (!(duration > 0) || !std::isfinite(duration))
        return {{0, lengths.early}, std::nullopt};
    SyncWindowPlan plan{{0, std::min(lengths.early, duration)}, std::nullopt};
    const double lateEnd = duration - lengths.lateEndMargin;
    if (lateEnd > plan.early.length) {
        const double lateStart = std::max(0.0, lateEnd - lengths.late);
        plan.late = SyncSpan{lateStart, lateEnd - lateStart};
    }
    return plan;
}

SyncMeasurement measureSync(const SyncSource &english, const SyncSource &german,
                            const SyncCheckOptions &options, const SyncWindowLengths &lengths)
{
    const SyncWindowPlan plan = planSyncWindows(english.duration, lengths);
    SyncMeasurement measurement;
    measurement.early = measureWindow(english, german, options, plan.early);
    if (plan.late && !stopped(options))
        measurement.late = measureWindow(english, german, options, *plan.late);
    if (stopped(options))
        return {};
    return measurement;
}

SyncMeasurement measureSync(const SyncSource &english, const SyncSource &german,
                            const SyncCheckOptions &options)
{
    return measureSync(english, german, options, SyncWindowLengths{});
}
