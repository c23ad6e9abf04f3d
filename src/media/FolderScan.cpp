// Scanning a source folder for Matroska files and the subtitle files beside them.
#include "FolderScan.h"

#include "Naming.h"
#include "NaturalOrder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <dirent.h>

#include <algorithm>

namespace {

bool isSubtitleExtension(const QString &lowerCaseSuffix)
{
    return lowerCaseSuffix == u"srt" || lowerCaseSuffix == u"ass" || lowerCaseSuffix == u"ssa" ||
           lowerCaseSuffix == u"vtt" || lowerCaseSuffix == u"sup";
}

bool isMediaOrSubtitleName(const QString &name)
{
    const QString suffix = pathExtension(name).toLower();
    return suffix == u"mkv" || isSubtitleExtension(suffix);
}

// Direct entries, hidden ones left out, folders and files alike: media files are chosen by
// name alone. Pipes, sockets and devices are left out too, and links to them: a tool reading a
// pipe named like an episode would wait forever. Names the natural order calls equal ("a.mkv",
// "A.mkv") fall back to code-point order, so the order never depends on how the file system
// lists them.
QStringList listEntriesInNaturalOrder(const QString &folder)
{
    QStringList names;
    for (const QFileInfo &entry :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Unsorted)) {
        // Qt keeps links whatever they point to; isFile() and isDir() judge the target.
        if (!entry.isSymLink() || entry.isFile() || entry.isDir())
            names << entry.fileName();
    }
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int order = naturalCompare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

} // namespace

QStringList undecodableFileNames(const QUrl &folder)
{
    QStringList names;
    if (!folder.isLocalFile())
        return names;
    DIR *directory = ::opendir(QFile::encodeName(folder.toLocalFile()).constData());
    if (!directory)
        return names;
    while (const dirent *entry = ::readdir(directory)) {
        const QByteArrayView raw(entry->d_name);
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString name = utf8(raw);
        if (utf8.hasError() && !name.startsWith(u'.') && isMediaOrSubtitleName(name))
            names << name;
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end(), naturalLess);
    return names;
}

QList<MediaFile> scanFolder(const QUrl &folder, SourceKind source)
{
    if (!folder.isLocalFile())
        return {}; // an empty path would otherwise list the working directory
    const QDir directory(folder.toLocalFile());

    // Names come sorted, so every list built from them in this order is sorted too. Each
    // subtitle name is parsed once and indexed by its episode.
    QStringList mediaNames;
    QList<QUrl> allSubtitles;
    QHash<EpisodeID, QList<QUrl>> subtitlesByEpisode;
    for (const QString &name : listEntriesInNaturalOrder(directory.path())) {
        const QString suffix = pathExtension(name).toLower();
        if (suffix == u"mkv") {
            mediaNames << name;
        } else if (isSubtitleExtension(suffix)) {
            // A folder or a dangling link named like a subtitle would fail the whole mux.
            const QString path = directory.absoluteFilePath(name);
            if (!QFileInfo(path).isFile())
                continue;
            const QUrl url = QUrl::fromLocalFile(path);
            allSubtitles << url;
            if (const std::optional<EpisodeID> episode = parseEpisodeID(nameWithoutExtension(name)))
                subtitlesByEpisode[*episode] << url;
        }
    }

    QList<MediaFile> files;
    files.reserve(mediaNames.size());
    for (const QString &name : mediaNames) {
        MediaFile file;
        file.url = QUrl::fromLocalFile(directory.absoluteFilePath(name));
        file.source = source;
        file.episodeID = parseEpisodeID(nameWithoutExtension(name));
        if (file.episodeID)
            file.sidecarSubtitles = subtitlesByEpisode.value(*file.episodeID);
        else if (mediaNames.size() == 1)
            file.sidecarSubtitles = allSubtitles; // a lone film takes every subtitle file
        files << file;
    }
    return files;
}
