#include "ToolDiscovery.h"

#include "ChildProcess.h"

#include <QFileInfo>

namespace {

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// `file` prints the name it was given in front of its verdict. Outside a UTF-8 locale it
// writes bytes that are not printable ASCII as octal escapes.
QString octalEscaped(const QString &path)
{
    QString escaped;
    for (const char byte : path.toUtf8()) {
        const auto value = static_cast<unsigned char>(byte);
        if (value >= 0x20 && value < 0x7f)
            escaped.append(QLatin1Char(byte));
        else
            escaped.append(QStringLiteral("\\%1").arg(value, 3, 8, QLatin1Char('0')));
    }
    return escaped;
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
    // A symlinked tool is judged by its target; `file` would only call the link a link.
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        return false;
    const ChildOutcome outcome =
        runChild(m_locations.fileCommand, {target}, StandardError::forward);
    if (!outcome.started)
        return false;

    // Only the verdict after the echoed name counts, so a folder called "x86-64" cannot make
    // a foreign binary pass.
    QString verdict = QString::fromUtf8(outcome.standardOutput);
    for (const QString &echo : {target, octalEscaped(target)}) {
        if (verdict.startsWith(echo + u':')) {
            verdict.remove(0, echo.size() + 1);
            break;
        }
    }
    for (const QString &marker : m_locations.architectureMarkers) {
        if (verdict.contains(marker))
            return true;
    }
    return false;
}
