// A pair's mux plan told track by track, as the command line and the window show it.
#pragma once

#include "MuxPlan.h"
#include "sync/SyncCorrection.h"

#include <QList>
#include <QString>

#include <optional>

// Where a planned track comes from.
struct PlannedSource {
    int folder = 1;                // 1 or 2
    QString fileName;              // the episode file, or the sidecar subtitle file
    std::optional<qint64> trackID; // mkvmerge's id in the episode file; absent for a sidecar
};

// How the track's timestamps are changed on the way into the output.
struct PlannedTiming {
    std::optional<double> stretchFactor; // 1001/960 where PAL material is slowed to film speed
    double offsetSeconds = 0;            // added after the stretch; negative: earlier
    // Not planned by the mux yet; here so that a reader finds every timing change in one place.
    std::optional<double> driftFactor;
    QList<SyncCut> repairSplices;

    bool isUnchanged() const
    {
        return !stretchFactor && offsetSeconds == 0 && !driftFactor && repairSplices.isEmpty();
    }
};

// A German audio track converted before the mux: "filmSpeed" (slowed to film speed and pitch),
// "filmTempo" (slowed, its pitch kept) or "cutRepair" (only spliced at the cuts; a slowed
// track is spliced in the same conversion where its timing lists the splices).
struct PlannedConversion {
    QString kind = QStringLiteral("filmSpeed");
    // As the mux will encode: the track's own codec or FLAC ("AC-3", "FLAC"), read from the
    // track by the tools; absent until then. No bit rate for FLAC, which is lossless.
    std::optional<QString> codec;
    std::optional<int> kilobitsPerSecond;
};

struct PlannedTrack {
    TrackType type = TrackType::unknown;
    QString language; // as `mkvmerge -J` reports the written track: "ger", "eng", "und"
    std::optional<QString> name;
    bool isDefault = false;
    bool isForced = false;
    PlannedSource source;
    PlannedTiming timing;
    std::optional<PlannedConversion> conversion;
};

struct PairPlanDescription {
    QString outputFileName;
    QList<PlannedTrack> tracks; // in output order
    // mkvmerge's arguments as the option file holds them, hidden and temporary names replaced
    // by placeholders in angle brackets.
    QStringList mkvmergeArguments;
};

// Reads the plan's own mkvmerge arguments, so what it tells is what mkvmerge is told; the
// request supplies the tracks' types and what mkvmerge takes over from a source unasked.
PairPlanDescription describeMuxPlan(const MuxPlan &plan, const MuxRequest &request);

// German texts shared by both front ends.
QString plannedTypeText(TrackType type);              // "Video", "Ton", "Untertitel"
QString plannedFlagsText(const PlannedTrack &track);  // "Standard", "Erzwungen" or "–"
QString plannedSourceText(const PlannedSource &source); // "Ordner 2: Folge.mkv, Spur 3"
QString plannedTimingText(const PlannedTiming &timing); // "gestreckt ×1001/960, −1,200 s"
QString plannedConversionText(const std::optional<PlannedConversion> &conversion);
