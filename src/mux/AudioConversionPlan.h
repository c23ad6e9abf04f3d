// Which German audio tracks are converted before the mux, how, and into which files.
#pragma once

#include "CutRepair.h"
#include "media/MediaInspection.h"
#include "tools/ToolDiscovery.h"

#include <QList>
#include <QUrl>

// A German audio track that is brought to film speed and pitch, or spliced, or both, before
// the mux, which then takes it from a hidden file in the output folder instead of from the
// folder-2 file.
struct GermanAudioConversion {
    QUrl source;      // the folder-2 file
    qint64 trackID = 0;
    QString fileName; // hidden, in the output folder; removed when the pair ends
    double sourceSeconds = 0;
    bool toFilmSpeed = true;
    std::optional<SpliceMap> splices;
    double germanPerFile = 1; // German film seconds per second of the file
    bool keepPitch = false;   // with `toFilmSpeed`: the tempo only, the pitch is the film's
};

struct AudioConversionPlan {
    QList<GermanAudioConversion> conversions;
    QUrl ffmpegURL;
    QUrl ffprobeURL;
};

// Every one of `germanAudio` of the folder-2 file `source`, converted to film speed by the
// ffmpeg and ffprobe found; the caller adds the splices. Throws MuxError::conversionFailed when they are not.
AudioConversionPlan planAudioConversions(const QList<MediaTrack> &germanAudio, const QUrl &source,
                                         const MediaInspection &localized,
                                         const ToolDiscovery &tools);
