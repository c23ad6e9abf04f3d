// Where folder 2's material is spliced so that a differently cut release follows the picture.
#pragma once

#include "sync/SyncCorrection.h"
#include "tools/ChildProcess.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// German stretches are given in German film time: the folder-2 file's time, after any PAL
// stretch. The spliced material runs on the German time of the first stretch, which the
// measured offset and drift then carry onto the English axis as they do without cuts.

// One place where German material is removed or silence is inserted.
struct Splice {
    double englishSeconds = 0; // the cut as measured, for the note
    double germanSeconds = 0;  // where the splice lies
    // Seconds of German material removed from `germanSeconds` on (positive), or of silence
    // inserted there (negative).
    double extraSeconds = 0;

    friend bool operator==(const Splice &, const Splice &) = default;
};

// The splices of one pair, in time order; the same for every folder-2 track.
struct SpliceMap {
    QList<Splice> splices;

    // Where the German moment `german` lies once spliced; absent inside a removed stretch.
    std::optional<double> splicedTime(double german) const;
    // The same, but a moment inside a removed stretch goes to where the stretch was.
    double splicedEnd(double german) const;
};

// Neither a removed stretch nor an inserted silence is believed beyond ten minutes.
inline constexpr double longestPlausibleSplice = 600;
// How far from the measured cut a splice may move to a quieter moment.
inline constexpr double spliceSearchSeconds = 1.0;

// The splices at the measured cuts of `correction`; absent when it has none, or when a cut is
// implausible (more than ten minutes, before the start, or overlapping the next one's search
// range), which leaves the pair unrepaired rather than spliced wrongly.
std::optional<SpliceMap> plannedSplices(const SyncCorrection &correction);

// The German track whose quiet moments place the splices, in the file's own time.
struct QuietSearch {
    QString ffmpeg;
    QUrl file;
    int audioIndex = 0;       // among the file's audio tracks
    double germanPerFile = 1; // German film seconds per second of the file (PAL: 1001/960)
    const StopFlag *stop = nullptr;
};

// `map` with every splice moved to the quietest moment within spliceSearchSeconds of its
// measured place: for a removal, where both edges that meet are quiet. A splice whose
// surroundings cannot be decoded stays where it was measured.
SpliceMap quietestSplices(const SpliceMap &map, const QuietSearch &search);
