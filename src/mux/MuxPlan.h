// One pair's mux decided before it runs: the mkvmerge command, the conversions, the notes.
#pragma once

#include "AudioConversionPlan.h"
#include "MkvmergeArguments.h"
#include "MuxRequest.h"
#include "SubtitleRetiming.h"
#include "tools/ChildProcess.h"
#include "tools/ToolDiscovery.h"

#include <QStringList>
#include <QUrl>

#include <optional>

// A steady drift undone: the lag at the start and at the end of the episode, in seconds.
struct AppliedDrift {
    double fromSeconds = 0;
    double toSeconds = 0;
    friend bool operator==(const AppliedDrift &, const AppliedDrift &) = default;
};

// Everything mkvmerge needs to write one pair's output file, decided before it runs.
struct MuxPlan {
    QUrl mkvmergeURL;
    QUrl outputURL;    // the final file in the output folder
    QUrl temporaryURL; // what mkvmerge writes, renamed to `outputURL` on success
    QStringList arguments;
    QStringList skippedDuplicateSubtitles;   // file names: folder 2 first, then folder 1
    QStringList skippedWrongFolderSubtitles; // file names: folder 2 first, then folder 1
    QList<qint64> replacedBitmapSubtitleTrackIDs;
    std::optional<double> appliedTimingFactor; // set when the folder-2 tracks are stretched
    std::optional<double> appliedSyncOffset;   // seconds of measured offset undone
    std::optional<AppliedDrift> appliedDrift;  // with a drift, in place of the offset
    QList<Splice> repairedSplices;             // the cuts the German material follows
    SidecarCopies sidecarCopies; // of unmarked UTF-16 sidecars, which `arguments` name
    // With pitch restoration on a PAL pair, or with a cut repair: every German audio track,
    // converted into hidden files in the output folder that `arguments` name by their path
    // in the folder.
    AudioConversionPlan audio;
    std::shared_ptr<RetimedSubtitles> retimedSubtitles; // which `arguments` name
};

// What a successful mux reports back.
struct MuxResult {
    QUrl outputURL;
    QStringList skippedDuplicateSubtitles;
    QStringList skippedWrongFolderSubtitles;
    QList<qint64> replacedBitmapSubtitleTrackIDs;
    std::optional<double> appliedTimingFactor;
    std::optional<double> appliedSyncOffset;
    QStringList warnings;               // mkvmerge's warning lines
    QStringList restoredAudioEncodings; // of the converted German tracks: "AC-3, 448 kbit/s"
    bool restoredPitchKept = false;     // they were slowed in tempo only
    std::optional<AppliedDrift> appliedDrift;
    QList<Splice> repairedSplices;

    static MuxResult of(const MuxPlan &plan);
    friend bool operator==(const MuxResult &, const MuxResult &) = default;
};

// Decides the content of the pair's output file and writes the mkvmerge command for it.
// Runs the tool search and the subtitle duplicate check; writes nothing into the output
// folder. Throws MuxError. `stop` set while it runs cuts the duplicate check short.
MuxPlan buildMuxPlan(const MuxRequest &request, const ToolDiscovery &tools,
                     const StopFlag *stop = nullptr);
