// The sync check of one pair at a time on a worker thread.
#pragma once

#include "media/EpisodePair.h"
#include "media/MediaInspection.h"
#include "SyncCheck.h"
#include "SyncSegments.h"
#include "tools/ToolLocations.h"

#include <QFuture>
#include <QThreadPool>

// What the sync check found for one pair, and what it means.
struct PairSyncCheck {
    SyncMeasurement measurement;
    SyncVerdict verdict;
    PitchVerdict pitch; // of the German track against the English one
    // False when measured for the pitch alone: the offset is then neither reported nor
    // undone, and the output is not checked.
    bool offsetChecked = true;
};

// Measures the segments, then what the running times may hide: PAL speed heard when the
// segments agree only once stretched, and where exactly each jump of the lag lies.
SyncMeasurement measureAndLocate(const SyncSource &english, const SyncSource &german,
                                 SyncCheckOptions options, const SyncSegmentLayout &layout = {});

// Runs the audio sync check of one pair at a time on a worker thread of its own.
class SyncChecker {
public:
    explicit SyncChecker(ToolLocations tools);
    ~SyncChecker(); // stops a running decode and waits for it

    // Compares the first German audio track of the pair's folder-2 file with the first
    // English one of its folder-1 file. A pair without such tracks, without running times or
    // without ffmpeg gives an empty measurement.
    QFuture<SyncMeasurement> check(const MediaInspection &primary,
                                   const MediaInspection &localized);

private:
    ToolLocations m_tools;
    StopFlag m_stop{false};
    QThreadPool m_worker;
};
