#pragma once

#include "ToolLocations.h"

#include <QUrl>

#include <optional>

// Finds mkvmerge and ffprobe at their fixed places. Nothing is cached: every call looks again.
class ToolDiscovery {
public:
    explicit ToolDiscovery(ToolLocations locations = ToolLocations::platformDefault());

    std::optional<QUrl> locateMkvmerge() const;
    std::optional<QUrl> locateFfprobe() const;
    // True when `file` says the executable at `path` is built for this machine's architecture.
    bool isHostArchitectureExecutable(const QString &path) const;

    const ToolLocations &locations() const { return m_locations; }

private:
    ToolLocations m_locations;
};
