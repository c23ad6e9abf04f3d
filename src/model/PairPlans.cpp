// The mux plans of pairs built ahead of a run, to be shown rather than run.
#include "PairPlans.h"

#include "tools/SerialWorker.h"
#include "tools/ToolDiscovery.h"
#include "tools/UserFacingError.h"

#include <QThreadPool>

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
                    outcome.description =
                        describeMuxPlan(buildMuxPlan(request, discovery, stop.get()), request);
                } catch (...) {
                    outcome.error = describeError(std::current_exception());
                }
                outcomes << outcome;
            }
            return outcomes;
        });
}
