// Which German audio tracks are converted to film speed before the mux, and into which files.
#pragma once

#include "media/MediaInspection.h"
#include "tools/ToolDiscovery.h"

#include <QList>
#include <QUrl>

// A German audio track that is brought to film speed and pitch before the mux, which then
// takes it from a hidden file in the output folder instead of from the folder-2 file.
struct GermanAudioConversion {
    QUrl source;      // the folder-2 file
    qint64 trackID = 0;
    QString fileName; // hidden, in the output folder; removed when the pair ends
    double sourceSeconds = 0;
};

struct AudioConversionPlan {
    QList<GermanAudioConversion> conversions;
    QUrl ffmpegURL;
    QUrl ffprobeURL;
};

// Every one of `germanAudio` of the folder-2 file `source`, converted by the ffmpeg and ffprobe
// found. Throws MuxError::conversionFailed when they are not.
AudioConversionPlan planAudioConversions(const QList<MediaTrack> &germanAudio, const QUrl &source,
                                         const MediaInspection &localized,
                                         const ToolDiscovery &tools);
