// The sync checker's worker thread and the check it runs for one pair.
#include "SyncChecker.h"

#include "analysis/PalSpeedup.h"
#include "analysis/TrackSelection.h"
#include "tools/SerialWorker.h"
#include "tools/ToolDiscovery.h"

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
        return measureSync(english, german, options);
    });
}
