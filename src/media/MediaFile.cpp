#include "MediaFile.h"

#include <QFileInfo>

size_t qHash(const MediaFile &file, size_t seed) noexcept
{
    seed = qHashMulti(seed, file.url, file.source, file.episodeID.has_value());
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
