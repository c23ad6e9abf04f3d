// One track of an inspected file.
#pragma once

#include "MediaEnums.h"

#include <QString>

#include <optional>

// One track of an inspected file, as the inspecting tool reports it.
struct MediaTrack {
    qint64 id = 0; // unique within one file only
    TrackType type = TrackType::unknown;
    QString codec;
    std::optional<QString> language; // as reported: "deu", "ger", "de", "eng", …
    std::optional<QString> name;
    std::optional<double> duration; // seconds
    std::optional<qint64> elementCount;
    bool defaultTrack = false;
    bool forcedTrack = false;

    friend bool operator==(const MediaTrack &, const MediaTrack &) = default;
};
