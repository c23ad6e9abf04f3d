#pragma once

#include "media/EpisodePair.h"
#include "media/MediaInspection.h"
#include "tools/ChildProcess.h"
#include "tools/ToolDiscovery.h"

#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

class MarkedUtf16Copies;
class QTemporaryDir;

// A German audio track that is brought to film speed and pitch before the mux, which then
// takes it from `outputPath` instead of from the folder-2 file.
struct GermanAudioConversion {
    QUrl source; // the folder-2 file
    qint64 trackID = 0;
    int audioIndex = 0; // among the file's audio tracks
    QString outputPath;
    double sourceSeconds = 0;
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
    // Marked copies of unmarked UTF-16 sidecars that `arguments` name; they are removed when
    // the last copy of the plan goes.
    std::shared_ptr<MarkedUtf16Copies> sidecarCopies;
    // With pitch restoration on a PAL pair: every German audio track, converted by the ffmpeg
    // and ffprobe found, into a private folder that goes with the last copy of the plan.
    QList<GermanAudioConversion> audioConversions;
    QUrl ffmpegURL;
    QUrl ffprobeURL;
    std::shared_ptr<QTemporaryDir> conversionFolder;
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
// folder. Throws MuxError. `localizedOffset`: seconds the German audio was measured to sound
// late against the video (negative: early), undone on all folder-2 material. `stop` set
// while it runs cuts the duplicate check short. `restorePitch`: on a PAL pair, the German
// audio tracks are to be converted to film speed rather than stretched (see
// MuxPlan::audioConversions); the subtitles keep the stretch.
MuxPlan buildMuxPlan(const EpisodePair &pair, const std::optional<MediaInspection> &primary,
                     const std::optional<MediaInspection> &localized, const QUrl &outputFolder,
                     const ToolDiscovery &tools, std::optional<double> localizedOffset = {},
                     const StopFlag *stop = nullptr, bool restorePitch = false);

// The audio tracks the output takes: from folder 1 all but the German ones, from folder 2
// all but the English ones, in track order.
QList<MediaTrack> englishAudioTracks(const MediaInspection &primary);
QList<MediaTrack> germanAudioTracks(const MediaInspection &localized);

// `option` and the tracks' ids ("1,3"), or `noneOption` alone when there are no tracks.
QStringList trackSelectionArguments(const QString &option, const QList<MediaTrack> &tracks,
                                    const QString &noneOption);
