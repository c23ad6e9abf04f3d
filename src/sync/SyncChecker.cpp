#include "SyncChecker.h"

#include "analysis/PalSpeedup.h"
#include "mux/MuxPlan.h"
#include "tools/ToolDiscovery.h"

#include "tools/SerialWorker.h"

namespace {

// The first of `candidates` as a source: its position among the file's audio tracks.
std::optional<SyncSource> sourceOf(const MediaInspection &inspection,
                                   const QList<MediaTrack> &candidates)
{
    if (candidates.isEmpty() || !inspection.duration)
        return std::nullopt;
    int audioIndex = 0;
    for (const MediaTrack &track : inspection.tracks) {
        if (track.id == candidates.first().id)
            return SyncSource{inspection.file, audioIndex, *inspection.duration};
        if (track.type == TrackType::audio)
            ++audioIndex;
    }
    return std::nullopt;
}

} // namespace

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
        const std::optional<SyncSource> english = sourceOf(primary, englishAudioTracks(primary));
        const std::optional<SyncSource> german = sourceOf(localized, germanAudioTracks(localized));
        const std::optional<QUrl> ffmpeg = ToolDiscovery(m_tools).locateFfmpeg();
        if (!english || !german || !ffmpeg)
            return SyncMeasurement();
        SyncCheckOptions options;
        options.ffmpeg = ffmpeg->toLocalFile();
        // The same judgement as the mux: the German axis is stretched where it will be.
        options.localizedStretch =
            showsPalSpeedup(english->duration, german->duration) ? palTimingFactor : 1.0;
        options.stop = &m_stop;
        return measureSync(*english, *german, options);
    });
}
