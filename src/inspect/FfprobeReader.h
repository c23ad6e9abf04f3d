// Track inspection with ffprobe, for machines without mkvmerge.
#pragma once

#include "media/MediaInspection.h"
#include "tools/ChildProcess.h"

#include <QJsonObject>
#include <QUrl>

#include <optional>

// Runs ffprobe with JSON output on `file`. Throws MKVInspectorError or PlatformError.
MediaInspection probeWithFfprobe(const QUrl &ffprobe, const QUrl &file,
                                 const StopFlag *stop = nullptr);

// One element of ffprobe's "streams" array; absent when it carries no integer index.
std::optional<MediaTrack> parseFfprobeStream(const QJsonObject &stream);
