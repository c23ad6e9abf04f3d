// The mux plans of pairs built ahead of a run, to be shown rather than run.
#include "PairPlans.h"

#include "mux/FilmSpeedAudio.h"
#include "tools/SerialWorker.h"
#include "tools/ToolDiscovery.h"
#include "tools/UserFacingError.h"

#include <QThreadPool>

namespace {

// Reads each converted track as the mux will before it converts it, so that the plan names the
// codec and bit rate the mux then chooses. Only an encoder that refuses the track once it runs
// makes the mux fall back to FLAC.
void describeEncodings(const MuxPlan &plan, PairPlanDescription &description,
                       const StopFlag *stop)
{
    for (PlannedTrack &track : description.tracks) {
        for (const GermanAudioConversion &conversion : plan.audio.conversions) {
            // The conversions all read the one folder-2 file.
            if (!track.conversion || track.source.trackID != conversion.trackID)
                continue;
            const FilmSpeedRequest request{plan.audio.ffmpegURL.toLocalFile(),
                                           plan.audio.ffprobeURL.toLocalFile(),
                                           plan.mkvmergeURL.toLocalFile(), conversion.source,
                                           conversion.trackID};
            const AudioEncoding encoding =
                chooseAudioEncoding(readConversionSource(request, stop).format);
            track.conversion->codec = encoding.displayName;
            track.conversion->kilobitsPerSecond = encoding.kilobitsPerSecond;
        }
    }
}

} // namespace

QFuture<QList<PairPlanOutcome>> planPairs(QList<MuxRequest> requests, const ToolLocations &tools,
                                          std::shared_ptr<StopFlag> stop)
{
    return runOnWorker<QList<PairPlanOutcome>>(
        *QThreadPool::globalInstance(),
        [requests = std::move(requests), tools, stop = std::move(stop)] {
            const ToolDiscovery discovery(tools);
            QList<PairPlanOutcome> outcomes;
            for (const MuxRequest &request : requests) {
                PairPlanOutcome outcome{request.pair.id, std::nullopt, {}};
                try {
                    const MuxPlan plan = buildMuxPlan(request, discovery, stop.get());
                    outcome.description = describeMuxPlan(plan, request);
                    describeEncodings(plan, *outcome.description, stop.get());
                } catch (...) {
                    outcome.error = describeError(std::current_exception());
                }
                outcomes << outcome;
            }
            return outcomes;
        });
}
