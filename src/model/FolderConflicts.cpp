// Folders given twice: by path after resolving links, and by device and inode.
#include "FolderConflicts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// A folder that does not exist has no canonical path; its cleaned absolute path stands in.
QString resolvedPath(const QUrl &folder)
{
    const QFileInfo info(folder.toLocalFile());
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// A bind mount shows one folder under two paths that no link resolution joins.
bool isSameFolder(const QUrl &one, const QUrl &other)
{
    if (resolvedPath(one) == resolvedPath(other))
        return true;
    struct stat first {
    }, second{};
    return ::stat(QFile::encodeName(one.toLocalFile()).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(other.toLocalFile()).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace

std::optional<QString> sameSourceFolders(const QUrl &primary, const QUrl &localized)
{
    const QString path = resolvedPath(primary);
    if (!isSameFolder(primary, localized))
        return std::nullopt;
    return u"Ordner 1 und Ordner 2 sind derselbe Ordner: %1."_s.arg(path);
}

std::optional<QString> outputAmongSources(const QUrl &output, const QList<QUrl> &sources)
{
    const QString path = resolvedPath(output);
    for (const QUrl &source : sources) {
        if (isSameFolder(output, source))
            return u"Der Ausgabeordner darf keiner der beiden Quellordner sein: %1."_s.arg(path);
    }
    return std::nullopt;
}

QList<QUrl> foldersOf(const QList<EpisodePair> &pairs)
{
    QList<QUrl> folders;
    for (const EpisodePair &pair : pairs) {
        for (const std::optional<MediaFile> &file : {pair.primary, pair.localized}) {
            const QUrl folder =
                file ? QUrl::fromLocalFile(QFileInfo(file->url.toLocalFile()).path()) : QUrl();
            if (file && !folders.contains(folder))
                folders << folder;
        }
    }
    return folders;
}
