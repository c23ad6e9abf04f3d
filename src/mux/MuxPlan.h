// One pair's mux decided before it runs: the mkvmerge command, the conversions, the notes.
#pragma once

#include "AudioConversionPlan.h"
#include "MkvmergeArguments.h"
#include "MuxRequest.h"
#include "tools/ChildProcess.h"
#include "tools/ToolDiscovery.h"

#include <QStringList>
#include <QUrl>

#include <optional>

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
    SidecarCopies sidecarCopies; // of unmarked UTF-16 sidecars, which `arguments` name
    // With pitch restoration on a PAL pair: every German audio track, converted into hidden
    // files in the output folder that `arguments` name by their path in the folder.
    AudioConversionPlan audio;
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

    static MuxResult of(const MuxPlan &plan);
    friend bool operator==(const MuxResult &, const MuxResult &) = default;
};

// Decides the content of the pair's output file and writes the mkvmerge command for it.
// Runs the tool search and the subtitle duplicate check; writes nothing into the output
// folder. Throws MuxError. `stop` set while it runs cuts the duplicate check short.
MuxPlan buildMuxPlan(const MuxRequest &request, const ToolDiscovery &tools,
                     const StopFlag *stop = nullptr);
