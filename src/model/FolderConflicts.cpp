#include "FolderConflicts.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace {

// A folder that does not exist has no canonical path; its cleaned absolute path stands in.
QString resolvedPath(const QUrl &folder)
{
    const QFileInfo info(folder.toLocalFile());
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

std::optional<QString> sameSourceFolders(const QUrl &primary, const QUrl &localized)
{
    const QString path = resolvedPath(primary);
    if (path != resolvedPath(localized))
        return std::nullopt;
    return u"Ordner 1 und Ordner 2 sind derselbe Ordner: %1."_s.arg(path);
}

std::optional<QString> outputAmongSources(const QUrl &output, const QList<QUrl> &sources)
{
    const QString path = resolvedPath(output);
    for (const QUrl &source : sources) {
        if (resolvedPath(source) == path)
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
