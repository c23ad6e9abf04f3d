// Measuring a pair's sync: decoding segments, envelopes, and the lag of each segment.
#include "SyncCheck.h"

#include "AudioDecoding.h"
#include "CrossCorrelation.h"
#include "Envelope.h"
#include "SyncSegments.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>

namespace {

// Offsets searched: a logo, a recap or black at the start rarely shifts a dub by more. A
// segment is compared over half its length at least, so short segments search less.
constexpr int maxLagFrames = 30 * envelopeRate;
// Values closer to the peak than this belong to it (smeared onsets, echoes, held notes).
constexpr int neighbourhoodFrames = envelopeRate / 2;

bool stopped(const SyncCheckOptions &options)
{
    return options.stop && options.stop->load();
}

// The outcome of one decode: the samples, or whether the failure should end the check.
struct Decoded {
    std::optional<std::vector<std::int16_t>> samples;
    bool endsCheck = false; // stopped, or ran out of time: the next decode would as well
};

Decoded decode(const SyncCheckOptions &options, const PcmRequest &request)
{
    QElapsedTimer timer;
    timer.start();
    Decoded decoded{
        decodeMonoPcm(options.ffmpeg, request, {options.decodeTimeoutMilliseconds, options.stop})};
    decoded.endsCheck = !decoded.samples &&
                        (stopped(options) || timer.hasExpired(options.decodeTimeoutMilliseconds));
    return decoded;
}

// Measures `span` of the episode; `endsCheck` is set when nothing more should be decoded.
SyncSegment measureSegment(const SyncSource &english, const SyncSource &german,
                           const SyncCheckOptions &options, SyncSpan span, bool &endsCheck)
{
    SyncSegment segment{span.start, span.length};
    const Decoded englishPcm =
        decode(options, {english.file, english.audioIndex, span.start, span.length});
    endsCheck = englishPcm.endsCheck;
    // Audio that ends early leaves too few events to match.
    if (!englishPcm.samples || englishPcm.samples->size() < span.length / 2 * syncSampleRate)
        return segment;

    // The same stretch of film time in the German file's own time.
    const double stretch = options.localizedStretch > 0 ? options.localizedStretch : 1.0;
    const Decoded germanPcm = decode(
        options, {german.file, german.audioIndex, span.start / stretch, span.length / stretch});
    endsCheck = germanPcm.endsCheck;
    if (!germanPcm.samples)
        return segment;

    // German frames last 1/stretch of an English one in the file's own time, which is the
    // same film time once stretched.
    const std::vector<float> englishOnsets =
        onsetEnvelope(*englishPcm.samples, syncSampleRate, 1.0 / envelopeRate);
    const std::vector<float> germanOnsets =
        onsetEnvelope(*germanPcm.samples, syncSampleRate, 1.0 / (envelopeRate * stretch));
    if (englishOnsets.empty() || germanOnsets.empty())
        return segment; // silence: decoded, but nothing to line up
    segment.hasAudio = true;

    const int maxLag = std::min(maxLagFrames, int(englishOnsets.size() / 2));
    const CorrelationPeak peak =
        findPeak(crossCorrelate(englishOnsets, germanOnsets, maxLag), neighbourhoodFrames);
    if (peak.found) {
        segment.lagSeconds = (peak.index - maxLag) / envelopeRate;
        segment.score = peak.score;
        if (options.comparePitch)
            segment.pitch = compareSegmentPitch(*englishPcm.samples, *germanPcm.samples,
                                                syncSampleRate, *segment.lagSeconds, stretch);
    }
    return segment;
}

} // namespace

QList<SyncSpan> planSyncSegments(double duration, const SyncSegmentLayout &layout)
{
    if (!(duration > 0) || !std::isfinite(duration) || !(layout.segmentSeconds > 0))
        return {};
    int count =
        int(std::min<double>(layout.maxSegments, std::floor(duration / layout.segmentSeconds)));
    if (count < 3)
        return {};
    // Two short edges take the place of one full segment, so the audio decoded stays the same.
    const double edge = layout.edgeSeconds;
    const bool edges = count == layout.maxSegments && edge > 0 &&
                       2 * edge <= layout.segmentSeconds &&
                       (duration / (count - 1) - layout.segmentSeconds) / 2 >= edge;
    if (edges)
        --count;
    const double share = duration / count;
    QList<SyncSpan> spans;
    if (edges)
        spans << SyncSpan{0, edge};
    for (int k = 0; k < count; ++k)
        spans << SyncSpan{k * share + (share - layout.segmentSeconds) / 2, layout.segmentSeconds};
    if (edges)
        spans << SyncSpan{duration - edge, edge};
    return spans;
}

SyncMeasurement measureSync(const SyncSource &english, const SyncSource &german,
                            const SyncCheckOptions &options, const SyncSegmentLayout &layout)
{
    SyncMeasurement measurement{english.duration};
    bool endsCheck = false;
    for (const SyncSpan &span : planSyncSegments(english.duration, layout)) {
        if (endsCheck || stopped(options))
            break;
        measurement.segments << measureSegment(english, german, options, span, endsCheck);
    }
    if (stopped(options))
        return {};
    return measurement;
}

SyncMeasurement measureSync(const SyncSource &english, const SyncSource &german,
                            const SyncCheckOptions &options)
{
    return measureSync(english, german, options, SyncSegmentLayout{});
}
