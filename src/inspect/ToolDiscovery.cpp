#include "ToolDiscovery.h"

#include "ChildProcess.h"

#include <QFileInfo>

namespace {

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

ToolDiscovery::ToolDiscovery(ToolLocations locations) : m_locations(std::move(locations)) {}

std::optional<QUrl> ToolDiscovery::locateMkvmerge() const
{
    if (isExecutableFile(m_locations.bundledMkvmerge))
        return QUrl::fromLocalFile(m_locations.bundledMkvmerge);
    for (const QString &candidate : m_locations.mkvmergeCandidates) {
        if (isExecutableFile(candidate) && isHostArchitectureExecutable(candidate))
            return QUrl::fromLocalFile(candidate);
    }
    return std::nullopt;
}

std::optional<QUrl> ToolDiscovery::locateFfprobe() const
{
    for (const QString &candidate : m_locations.ffprobeCandidates) {
        if (isExecutableFile(candidate))
            return QUrl::fromLocalFile(candidate);
    }
    return std::nullopt;
}

bool ToolDiscovery::isHostArchitectureExecutable(const QString &path) const
{
    // "-b" leaves the file name out of the verdict, so a folder called "x86-64" cannot make a
    // foreign binary pass; "-L" judges a symlinked tool by its target, not as a link.
    const ChildOutcome outcome =
        runChild(m_locations.fileCommand, {QStringLiteral("-b"), QStringLiteral("-L"), path},
                 StandardError::forward);
    if (!outcome.started)
        return false;
    const QString verdict = QString::fromUtf8(outcome.standardOutput);
    for (const QString &marker : m_locations.architectureMarkers) {
        if (verdict.contains(marker))
            return true;
    }
    return false;
}
