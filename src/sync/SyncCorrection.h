// What the mux does to put folder 2's material on the English film axis.
#pragma once

#include <QList>

#include <optional>

// A place where the German release has more or less material than the English one: the lag
// (German minus English, in film time after any PAL stretch) jumps from one value to another.
struct SyncCut {
    double englishSeconds = 0; // English film time of the jump
    double fromLagSeconds = 0; // the lag before the jump
    double toLagSeconds = 0;   // the lag after it
    // Seconds of German material the English release lacks here (positive: to be removed) or
    // that the German release lacks (negative: silence to be inserted).
    double extraGermanSeconds() const { return toLagSeconds - fromLagSeconds; }

    friend bool operator==(const SyncCut &, const SyncCut &) = default;
};

// The lag of the German track at English film time e is offsetSeconds + driftPerSecond · e up
// to the first cut; each cut then changes it by its own amount.
struct SyncCorrection {
    double offsetSeconds = 0;  // the lag at the start of the episode
    double driftPerSecond = 0; // the lag's steady change per second of film time; 0: none
    QList<SyncCut> cuts;       // in time order; undone only when the repair is asked for
    // The lag undone when the cuts are not spliced; absent: offsetSeconds. A cut in the
    // opening minutes leaves the rest of the episode at the lag after it.
    std::optional<double> unsplicedOffsetSeconds;
    // Folder 2 plays at PAL speed, heard in the audio though the running times do not show
    // it: the mux stretches it as it stretches a PAL pair found by the running times.
    bool palSpeedHeard = false;

    double offsetWithoutSplices() const { return unsplicedOffsetSeconds.value_or(offsetSeconds); }

    friend bool operator==(const SyncCorrection &, const SyncCorrection &) = default;
};

