// Where in an episode the sync check listens.
#pragma once

#include "SyncCheck.h"

// Where in an episode the sync check listens. measureSync uses the defaults; tests of short
// generated episodes shrink them.
struct SyncSegmentLayout {
    // A minute holds enough events for a clear match, and lags of ±30 s still compare half
    // of it.
    double segmentSeconds = 60;
    // Ten minutes of audio per track at most, whatever the episode's length.
    int maxSegments = 10;
    // Where the segments leave room at the start and the end, a short one lies at each edge
    // in place of one full segment: a cut in the first or last minutes shows as the lag of
    // the edge alone. Half a minute still holds a clear match for lags of ±15 s.
    double edgeSeconds = 30;
};

// A stretch of film time, in seconds.
struct SyncSpan {
    double start = 0;
    double length = 0;
};

// Segments spread evenly over an episode of `duration` seconds, each centred in its share of
// the running time: as many as fit, up to the maximum, the first and the last at the edges
// where there is room for them. Fewer than three cannot agree, so such an episode, and one of
// unknown length, gets none.
QList<SyncSpan> planSyncSegments(double duration, const SyncSegmentLayout &layout = {});

// measureSync with another layout.
SyncMeasurement measureSync(const SyncSource &english, const SyncSource &german,
                            const SyncCheckOptions &options, const SyncSegmentLayout &layout);
