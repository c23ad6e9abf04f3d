// Whether the analysis could read the files of a ready pair.
#include "PairReadability.h"

bool isUnreadable(const EpisodePair &pair, const QHash<QUrl, MediaInspection> &inspections)
{
    if (pair.status != PairStatus::ready)
        return false;
    const auto missing = [&](const std::optional<MediaFile> &file) {
        return file && !inspections.contains(file->url);
    };
    return missing(pair.primary) || missing(pair.localized);
}

QString unreadableStatusText()
{
    return QStringLiteral("Datei nicht lesbar");
}

QString pairStatusText(const EpisodePair &pair, const QHash<QUrl, MediaInspection> *inspections)
{
    if (inspections && isUnreadable(pair, *inspections))
        return unreadableStatusText();
    return rawValue(pair.status);
}
