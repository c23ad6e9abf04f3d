// Finding mkvmerge, ffprobe and ffmpeg at their fixed places.
#pragma once

#include "ToolLocations.h"

#include <QUrl>

#include <optional>

// Finds mkvmerge and ffprobe at their fixed places. Every call looks again; only the verdict
// of the architecture check is remembered for a binary that has not changed since.
class ToolDiscovery {
public:
    explicit ToolDiscovery(ToolLocations locations = ToolLocations::platformDefault());

    std::optional<QUrl> locateMkvmerge() const;
    std::optional<QUrl> locateFfprobe() const;
    std::optional<QUrl> locateFfmpeg() const;
    // mkvextract comes with mkvmerge and is used only beside the one in use.
    static std::optional<QUrl> locateMkvextractBeside(const QUrl &mkvmerge);
    // True when `file` says the executable at `path` is built for this machine's architecture.
    bool isHostArchitectureExecutable(const QString &path) const;

    const ToolLocations &locations() const { return m_locations; }

private:
    bool examineArchitecture(const QString &path) const; // runs `file`

    ToolLocations m_locations;
};
