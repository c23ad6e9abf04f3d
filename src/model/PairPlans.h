// The mux plans of pairs built ahead of a run, to be shown rather than run.
#pragma once

#include "mux/MuxRequest.h"
#include "mux/PlanDescription.h"
#include "tools/ChildProcess.h"
#include "tools/ToolLocations.h"

#include <QFuture>

#include <memory>

// One pair's plan told track by track, or why the mux would fail it.
struct PairPlanOutcome {
    QString pairId;
    std::optional<PairPlanDescription> description;
    QString error; // German, as the mux run would report it; empty with a description
};

// Builds and describes the plan of every request, one after another on a worker thread,
// in the requests' order. Runs the duplicate check of the sidecar subtitles and reads the
// tracks to convert as the mux will (ffprobe, a few minutes of packets); writes nothing
// but the marked copies of unmarked UTF-16 sidecars, which go with the plan. `stop` set cuts
// the remaining plans short, as failures.
QFuture<QList<PairPlanOutcome>> planPairs(QList<MuxRequest> requests, const ToolLocations &tools,
                                          std::shared_ptr<StopFlag> stop);
