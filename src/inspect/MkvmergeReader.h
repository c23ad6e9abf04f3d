#pragma once

#include "media/MediaInspection.h"
#include "NumberText.h" // IWYU pragma: export (parseClockDuration)

#include <QJsonObject>
#include <QUrl>

#include <optional>

// Runs `mkvmerge --identify` with JSON output on `file`. Throws MKVInspectorError or
// PlatformError.
MediaInspection identifyWithMkvmerge(const QUrl &mkvmerge, const QUrl &file);

// One element of mkvmerge's "tracks" array; absent when it carries no integer id.
std::optional<MediaTrack> parseMkvmergeTrack(const QJsonObject &track);

// The path handed to a tool for `file`: always absolute, so a name that begins with "-"
// cannot be read as an option.
QString toolFileArgument(const QUrl &file);
