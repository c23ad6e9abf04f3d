// Pairing the files of the two folders by episode number.
#include "Pairing.h"

#include <QSet>

#include <algorithm>

EpisodeGroups EpisodeGroups::of(const QList<MediaFile> &files)
{
    EpisodeGroups groups;
    for (const MediaFile &file : files) {
        if (file.episodeID)
            groups.numbered[*file.episodeID] << file;
        else
            groups.unnumbered << file;
    }
    return groups;
}

QList<MediaFile> EpisodeGroups::filesOf(const std::optional<EpisodeID> &key) const
{
    return key ? numbered.value(*key) : unnumbered;
}

EpisodePair makePair(const std::optional<EpisodeID> &key, const EpisodeGroups &primary,
                     const EpisodeGroups &localized)
{
    const QList<MediaFile> primaryFiles = primary.filesOf(key);
    const QList<MediaFile> localizedFiles = localized.filesOf(key);

    EpisodePair pair;
    pair.episodeID = key;
    if (!primaryFiles.isEmpty())
        pair.primary = primaryFiles.first();
    if (!localizedFiles.isEmpty())
        pair.localized = localizedFiles.first();

    if (!key) {
        const MediaFile &representative = pair.primary ? *pair.primary : *pair.localized;
        pair.id = QStringLiteral("unmatched-") + fileNameOf(representative.url);
        pair.status = PairStatus::ambiguous;
        return pair;
    }

    pair.id = key->description();
    if (primaryFiles.size() > 1 || localizedFiles.size() > 1)
        pair.status = PairStatus::ambiguous;
    else if (primaryFiles.isEmpty())
        pair.status = PairStatus::missingPrimary;
    else if (localizedFiles.isEmpty())
        pair.status = PairStatus::missingLocalized;
    else
        pair.status = PairStatus::ready;
    return pair;
}

QList<EpisodePair> pairEpisodes(const QList<MediaFile> &primaryFiles,
                                const QList<MediaFile> &localizedFiles)
{
    if (primaryFiles.size() == 1 && localizedFiles.size() == 1) {
        // Two lone files belong together whatever their names say.
        const MediaFile &primary = primaryFiles.first();
        const MediaFile &localized = localizedFiles.first();
        return {EpisodePair{QStringLiteral("single"),
                            primary.episodeID ? primary.episodeID : localized.episodeID, primary,
                            localized, PairStatus::ready}};
    }

    const EpisodeGroups primary = EpisodeGroups::of(primaryFiles);
    const EpisodeGroups localized = EpisodeGroups::of(localizedFiles);

    QSet<EpisodeID> numberedKeys;
    for (const EpisodeGroups *groups : {&primary, &localized}) {
        for (auto it = groups->numbered.keyBegin(); it != groups->numbered.keyEnd(); ++it)
            numberedKeys.insert(*it);
    }
    QList<EpisodeID> sortedKeys(numberedKeys.begin(), numberedKeys.end());
    std::sort(sortedKeys.begin(), sortedKeys.end());

    QList<EpisodePair> pairs;
    pairs.reserve(sortedKeys.size() + 1);
    for (const EpisodeID &key : sortedKeys)
        pairs << makePair(key, primary, localized);
    if (!primary.unnumbered.isEmpty() || !localized.unnumbered.isEmpty())
        pairs << makePair(std::nullopt, primary, localized);
    return pairs;
}
