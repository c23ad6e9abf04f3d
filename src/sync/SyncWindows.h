#pragma once

#include "SyncCheck.h"

#include <optional>

// Where in an episode the sync check listens. measureSync uses the defaults; tests of short
// generated episodes shrink them.
struct SyncWindowLengths {
    double early = 600;         // from the start
    double late = 300;          // ending lateEndMargin before the end
    double lateEndMargin = 120; // keeps the end credits, often replaced by the dub, out
};

// A stretch of film time, in seconds.
struct SyncSpan {
    double start = 0;
    double length = 0;
};

struct SyncWindowPlan {
    SyncSpan early;
    std::optional<SyncSpan> late;
};

// The windows for an episode of `duration` seconds, clipped to it. The late window is absent
// when it would end within the early one, so it could not tell anything new; an unknown
// duration gives the early window alone.
SyncWindowPlan planSyncWindows(double duration, const SyncWindowLengths &lengths = {});

// measureSync with other window lengths.
SyncMeasurement measureSync(const SyncSource &english, const SyncSource &german,
                            const SyncCheckOptions &options, const SyncWindowLengths &lengths);
