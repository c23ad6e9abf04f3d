// Hashing a media file, and the name a file URL shows.
#include "MediaFile.h"

#include <QFileInfo>

size_t qHash(const MediaFile &file, size_t seed) noexcept
{
    seed = qHashMulti(seed, file.url, static_cast<int>(file.source), file.episodeID.has_value());
    if (file.episodeID)
        seed = qHash(*file.episodeID, seed);
    seed = qHashMulti(seed, file.sidecarSubtitles.size());
    for (const QUrl &subtitle : file.sidecarSubtitles)
        seed = qHashMulti(seed, subtitle);
    return seed;
}

QString fileNameOf(const QUrl &url)
{
    return QFileInfo(url.toLocalFile()).fileName();
}

QString pathExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString nameWithoutExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}
