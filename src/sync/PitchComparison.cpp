// Whether the German track sounds at the English pitch: the shift between their spectra.
#include "PitchComparison.h"

#include "CrossCorrelation.h"
#include "Spectrum.h"
#include "SyncCheck.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

// A second per frame resolves a tone of 100 Hz to a sixth of a semitone; notes and effects
// mostly last that long.
constexpr int frameLength = 4096;
constexpr double hopSeconds = 0.5;
constexpr double stepCents = 5;
constexpr int maxShiftSteps = 30; // ±1.5 semitones
// Below, a frame holds too few periods; above, the decoder's low-pass cuts the shifted track.
constexpr double lowestHz = 80;
constexpr double highestHz = 1700;
// Shifts closer to the best than this belong to its peak.
constexpr int neighbourhoodSteps = 6;

// A segment whose best match stands out less than this says nothing about the pitch.
constexpr double minScore = 4;
// Segments within this many semitones of the median agree with it.
constexpr double agreement = 0.15;
// How close to the PAL shift or to none a verdict must be.
constexpr double tolerance = 0.25;

double mean(std::span<const double> values)
{
    double sum = 0;
    for (const double value : values)
        sum += value;
    return sum / double(values.size());
}

} // namespace

std::optional<SegmentPitch> compareSegmentPitch(std::span<const std::int16_t> english,
                                                std::span<const std::int16_t> german,
                                                int sampleRate, double lagSeconds, double stretch)
{
    const LogAxis englishAxis{lowestHz, stepCents,
                              int(1200 * std::log2(highestHz / lowestHz) / stepCents)};
    // The German axis reaches the largest shift beyond the English one on either side.
    const LogAxis germanAxis{englishAxis.frequency(-maxShiftSteps), stepCents,
                             englishAxis.bins + 2 * maxShiftSteps};

    // English segment time t holds the event the German track has at film time t + lag.
    const double rate = sampleRate;
    const double half = frameLength / 2.0 / rate * std::max(1.0, stretch);
    const double from = std::max(0.0, -lagSeconds) + half;
    const double to = std::min(double(english.size()) / rate,
                               double(german.size()) / rate * stretch - lagSeconds) -
                      half;
    std::vector<double> englishCentres, germanCentres;
    for (double t = from; t <= to; t += hopSeconds) {
        englishCentres.push_back(t * rate);
        germanCentres.push_back((t + lagSeconds) / stretch * rate);
    }
    if (englishCentres.size() < 4)
        return std::nullopt;

    const LogSpectrogram englishFrames =
        logSpectrogram(english, sampleRate, frameLength, englishCentres, englishAxis);
    const LogSpectrogram germanFrames =
        logSpectrogram(german, sampleRate, frameLength, germanCentres, germanAxis);
    std::vector<float> match(2 * maxShiftSteps + 1, 0.0f);
    for (std::size_t f = 0; f < englishCentres.size(); ++f) {
        const std::span<const float> e = englishFrames.frame(f);
        const std::span<const float> g = germanFrames.frame(f);
        for (std::size_t s = 0; s < match.size(); ++s) {
            float sum = 0;
            for (std::size_t k = 0; k < e.size(); ++k)
                sum += e[k] * g[k + s];
            match[s] += sum;
        }
    }
    const CorrelationPeak peak = findPeak(match, neighbourhoodSteps);
    if (!peak.found)
        return std::nullopt;
    return SegmentPitch{(peak.index - maxShiftSteps) * stepCents / 100, peak.score};
}

PitchVerdict judgePitch(const SyncMeasurement &measurement)
{
    std::vector<double> shifts;
    for (const SyncSegment &segment : measurement.segments) {
        if (segment.pitch && segment.pitch->score >= minScore)
            shifts.push_back(segment.pitch->semitones);
    }
    if (shifts.size() < 2)
        return {};
    std::vector<double> sorted = shifts;
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2),
                     sorted.end());
    const double median = sorted[sorted.size() / 2];
    std::vector<double> agreeing;
    for (const double shift : shifts) {
        if (std::abs(shift - median) <= agreement)
            agreeing.push_back(shift);
    }
    // Two thirds at least: a release whose music alone agrees is still a release that agrees.
    if (agreeing.size() < 2 || agreeing.size() * 3 < shifts.size() * 2)
        return {};
    const double semitones = mean(agreeing);
    if (std::abs(semitones - palSemitones) <= tolerance)
        return {PitchKind::raised, semitones};
    if (std::abs(semitones) <= tolerance)
        return {PitchKind::corrected, semitones};
    return {PitchKind::unsure, semitones};
}

std::optional<AnalysisIssue> pitchFinding(const QString &label, const PitchVerdict &verdict,
                                          bool palPair)
{
    // Without the PAL speed-up the film's pitch is expected; only a clear shift is news.
    if (!palPair && (!verdict.semitones || verdict.kind == PitchKind::corrected))
        return std::nullopt;
    QString text;
    switch (verdict.kind) {
    case PitchKind::raised:
        text = u"Die deutsche Tonspur klingt um %1 Halbtöne zu hoch (PAL-Beschleunigung ohne "
               u"Tonhöhenkorrektur)."_s.arg(*verdict.semitones, 0, 'f', 2);
        break;
    case PitchKind::corrected:
        text = u"Die Tonhöhe der deutschen Tonspur ist bereits korrigiert; es wird nur das "
               u"Tempo angepasst."_s;
        break;
    case PitchKind::unsure:
        text = u"Die Tonhöhe der deutschen Tonspur ließ sich nicht sicher bestimmen."_s;
        break;
    }
    return AnalysisIssue(AnalysisIssueSeverity::information, label + u": "_s + text);
}
