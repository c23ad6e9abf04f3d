// The sidecars of the pairs, leaving out the unusable ones, and the findings about them.
#include "SidecarScreening.h"

#include "UnmarkedUtf16.h"

using namespace Qt::Literals::StringLiterals;

QList<QUrl> sidecarsOf(const QList<EpisodePair> &pairs)
{
    QList<QUrl> sidecars;
    QSet<QUrl> seen; // a sidecar belongs to every file of its episode
    for (const EpisodePair &pair : pairs) {
        for (const std::optional<MediaFile> &file : {pair.primary, pair.localized}) {
            if (!file)
                continue;
            for (const QUrl &sidecar : file->sidecarSubtitles) {
                if (!seen.contains(sidecar)) {
                    seen.insert(sidecar);
                    sidecars << sidecar;
                }
            }
        }
    }
    return sidecars;
}

QList<EpisodePair> withoutSidecars(QList<EpisodePair> pairs, const QSet<QUrl> &leftOut)
{
    for (EpisodePair &pair : pairs) {
        for (std::optional<MediaFile> *file : {&pair.primary, &pair.localized}) {
            if (*file)
                (*file)->sidecarSubtitles.removeIf(
                    [&](const QUrl &sidecar) { return leftOut.contains(sidecar); });
        }
    }
    return pairs;
}

AnalysisIssue unreadableSidecarIssue(const QUrl &sidecar)
{
    return AnalysisIssue(AnalysisIssueSeverity::warning,
                         fileNameOf(sidecar) +
                             u": Die Untertiteldatei ist unlesbar und wird übersprungen."_s);
}

std::optional<AnalysisIssue> sidecarIssue(const QUrl &sidecar, SidecarVerdict verdict)
{
    switch (verdict) {
    case SidecarVerdict::unreadable:
        return unreadableSidecarIssue(sidecar);
    case SidecarVerdict::notPrepared:
        return AnalysisIssue(AnalysisIssueSeverity::warning,
                             fileNameOf(sidecar) + u": "_s + markedCopyFailure());
    case SidecarVerdict::usable:
    case SidecarVerdict::unchecked:
        break;
    }
    return std::nullopt;
}
