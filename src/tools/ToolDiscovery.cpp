// Finding the tools, checking their architecture with `file`, and caching the verdict.
#include "ToolDiscovery.h"

#include "ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <sys/stat.h>

namespace {

// What identifies one version of an executable: a replaced or updated binary differs in at
// least one of these, so its verdict is not taken from the cache.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modifiedNanoseconds = 0;
    qint64 changedNanoseconds = 0;

    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

std::optional<FileIdentity> identityOf(const QString &path)
{
    struct stat status {};
    // stat() follows links, as `file -L` does: a repointed link is a different file.
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    const auto nanoseconds = [](const timespec &t) {
        return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
    };
#if defined(Q_OS_MACOS)
    const timespec &modified = status.st_mtimespec, &changed = status.st_ctimespec;
#else
    const timespec &modified = status.st_mtim, &changed = status.st_ctim;
#endif
    return FileIdentity{status.st_dev, status.st_ino, status.st_size, nanoseconds(modified),
                        nanoseconds(changed)};
}

// The verdicts of `file` per candidate path, shared by every discovery in the process.
struct VerdictCache {
    struct Entry {
        FileIdentity identity;
        bool passes = false;
    };
    QMutex mutex;
    QHash<QString, Entry> entries; // keyed by file command, markers and candidate path
};

VerdictCache &verdictCache()
{
    static VerdictCache cache;
    return cache;
}

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

std::optional<QUrl> firstExecutable(const QStringList &candidates)
{
    for (const QString &candidate : candidates) {
        if (isExecutableFile(candidate))
            return QUrl::fromLocalFile(candidate);
    }
    return std::nullopt;
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
    return firstExecutable(m_locations.ffprobeCandidates);
}

std::optional<QUrl> ToolDiscovery::locateFfmpeg() const
{
    return firstExecutable(m_locations.ffmpegCandidates);
}

std::optional<QUrl> ToolDiscovery::locateMkvextractBeside(const QUrl &mkvmerge)
{
    if (mkvmerge.toLocalFile().isEmpty())
        return std::nullopt;
    return firstExecutable(
        {QFileInfo(mkvmerge.toLocalFile()).dir().filePath(QStringLiteral("mkvextract"))});
}

bool ToolDiscovery::isHostArchitectureExecutable(const QString &path) const
{
    // Running `file` costs more than the tool search itself; the verdict for an unchanged
    // binary is remembered, so every search still gives what a fresh one would.
    const std::optional<FileIdentity> identity = identityOf(path);
    const QString key = m_locations.fileCommand + u'\n' +
                        m_locations.architectureMarkers.join(u'\n') + u'\n' + path;
    VerdictCache &cache = verdictCache();
    if (identity) {
        QMutexLocker lock(&cache.mutex);
        const auto entry = cache.entries.constFind(key);
        if (entry != cache.entries.cend() && entry->identity == *identity)
            return entry->passes;
    }
    const bool passes = examineArchitecture(path);
    // Only a verdict about a file that did not change while `file` read it is kept.
    if (identity && identityOf(path) == identity) {
        QMutexLocker lock(&cache.mutex);
        cache.entries.insert(key, {*identity, passes});
    }
    return passes;
}

bool ToolDiscovery::examineArchitecture(const QString &path) const
{
    // "-b" leaves the file name out of the verdict, so a folder called "x86-64" cannot make a
    // foreign binary pass; "-L" judges a symlinked tool by its target, not as a link.
    const ChildOutcome outcome = runChild({m_locations.fileCommand,
                                           {QStringLiteral("-b"), QStringLiteral("-L"), path},
                                           ChildOutput::standardErrorForwarded});
    if (!outcome.started)
        return false;
    const QString verdict = QString::fromUtf8(outcome.standardOutput);
    for (const QString &marker : m_locations.architectureMarkers) {
        if (verdict.contains(marker))
            return true;
    }
    return false;
}
