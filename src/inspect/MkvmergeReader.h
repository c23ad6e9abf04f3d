// Track inspection with mkvmerge's JSON identification.
#pragma once

#include "media/MediaInspection.h"
#include "NumberText.h" // IWYU pragma: export (parseClockDuration)
#include "tools/ChildProcess.h"

#include <QJsonObject>
#include <QUrl>

#include <optional>

// Runs `mkvmerge --identify` with JSON output on `file`. Throws MKVInspectorError or
// PlatformError.
MediaInspection identifyWithMkvmerge(const QUrl &mkvmerge, const QUrl &file,
                                     const StopFlag *stop = nullptr);

// One element of mkvmerge's "tracks" array; absent when it carries no integer id.
std::optional<MediaTrack> parseMkvmergeTrack(const QJsonObject &track);
