// Taking a file's fingerprint from its status.
#include "FileFingerprint.h"

#include <QFile>

#include <sys/stat.h>

std::optional<FileFingerprint> FileFingerprint::of(const QUrl &file)
{
    struct stat status {};
    if (::stat(QFile::encodeName(file.toLocalFile()).constData(), &status) != 0 ||
        !S_ISREG(status.st_mode))
        return std::nullopt;
#if defined(Q_OS_MACOS)
    const timespec &modified = status.st_mtimespec;
#else
    const timespec &modified = status.st_mtim;
#endif
    return FileFingerprint{status.st_dev, status.st_ino, status.st_size,
                           qint64(modified.tv_sec) * 1'000'000'000 + modified.tv_nsec};
}

QList<QUrl> sourceFilesOf(const EpisodePair &pair)
{
    QList<QUrl> files;
    for (const std::optional<MediaFile> &source : {pair.primary, pair.localized}) {
        if (source)
            files << source->url << source->sidecarSubtitles;
    }
    return files;
}

void recordFingerprints(const QList<EpisodePair> &pairs, SourceFingerprints &fingerprints)
{
    for (const EpisodePair &pair : pairs) {
        for (const QUrl &file : sourceFilesOf(pair)) {
            if (const std::optional<FileFingerprint> fingerprint = FileFingerprint::of(file))
                fingerprints.insert(file, *fingerprint);
        }
    }
}

std::optional<QUrl> firstChangedFile(const QList<QUrl> &files, const SourceFingerprints &seen)
{
    for (const QUrl &file : files) {
        const auto recorded = seen.constFind(file);
        if (recorded == seen.cend() || FileFingerprint::of(file) != *recorded)
            return file;
    }
    return std::nullopt;
}
