// The sync checker's worker thread and the check it runs for one pair.
#include "SyncChecker.h"

#include "analysis/PalSpeedup.h"
#include "CutLocation.h"
#include "analysis/TrackSelection.h"
#include "tools/SerialWorker.h"
#include "tools/ToolDiscovery.h"

namespace {

// Running times this close to the PAL ratio, or to none, may hide a PAL release whose extra or
// missing material moved its ratio out of the rule's tolerance.
constexpr double palHearingRange = 0.01;

bool mayHidePalSpeed(double english, double german)
{
    const double ratio = english / german;
    return !showsPalSpeedup(english, german) &&
           (std::abs(ratio - palTimingFactor) <= palHearingRange ||
            std::abs(ratio - 1) <= palHearingRange);
}

} // namespace

SyncMeasurement measureAndLocate(const SyncSource &english, const SyncSource &german,
                                 SyncCheckOptions options, const SyncSegmentLayout &layout)
{
    SyncMeasurement measurement = measureSync(english, german, options, layout);
    measurement.localizedStretch = options.localizedStretch;
    SyncAssessment assessment = assessSync(measurement);
    // The running times said normal speed; the audio is asked whether PAL speed fits better.
    if (assessment.pattern == SyncPattern::unsure && options.localizedStretch == 1.0 &&
        mayHidePalSpeed(english.duration, german.duration)) {
        options.localizedStretch = palTimingFactor;
        SyncMeasurement stretched = measureSync(english, german, options, layout);
        stretched.localizedStretch = palTimingFactor;
        stretched.stretchHeard = true;
        const SyncAssessment heard = assessSync(stretched);
        if (heard.pattern != SyncPattern::unsure) {
            measurement = stretched;
            assessment = heard;
        }
    }
    if (assessment.pattern == SyncPattern::cut) {
        measurement.cutLocations = locateCuts(english, german, options, assessment);
        measurement.cutsSought = true;
    }
    return measurement;
}

SyncChecker::SyncChecker(ToolLocations tools) : m_tools(std::move(tools))
{
    m_worker.setMaxThreadCount(1);
}

SyncChecker::~SyncChecker()
{
    m_stop = true;
    m_worker.waitForDone();
}

QFuture<SyncMeasurement> SyncChecker::check(const MediaInspection &primary,
                                            const MediaInspection &localized)
{
    return runOnWorker<SyncMeasurement>(m_worker, [this, primary, localized] {
        const ComparedAudio compared = comparedAudioTracks(primary, localized);
        const std::optional<QUrl> ffmpeg = ToolDiscovery(m_tools).locateFfmpeg();
        if (!compared.englishIndex || !compared.germanIndex || !primary.duration ||
            !localized.duration || !ffmpeg)
            return SyncMeasurement();
        const SyncSource english{primary.file, *compared.englishIndex, *primary.duration};
        const SyncSource german{localized.file, *compared.germanIndex, *localized.duration};
        SyncCheckOptions options;
        options.ffmpeg = ffmpeg->toLocalFile();
        // The same judgement as the mux: the German axis is stretched where it will be.
        options.localizedStretch =
            showsPalSpeedup(english.duration, german.duration) ? palTimingFactor : 1.0;
        options.stop = &m_stop;
        return measureAndLocate(english, german, options);
    });
}
