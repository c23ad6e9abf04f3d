// What an inspection learned about one file: its running time and its tracks.
#pragma once

#include "MediaFile.h" // IWYU pragma: export
#include "MediaTrack.h"

// What the inspection learned about one file.
struct MediaInspection {
    QUrl file;                      // the file inspected, as the inspector was given it
    std::optional<double> duration; // seconds
    QList<MediaTrack> tracks;       // in the order the tool lists them

    friend bool operator==(const MediaInspection &, const MediaInspection &) = default;
};
