// The findings about ready pairs: audio languages, running times, the PAL speed-up.
#include "PairRules.h"

#include "LanguageCodes.h"
#include "media/Naming.h"
#include "PalSpeedup.h"

#include <cmath>
#include <optional>

namespace {

// The audio tracks of one folder as the mux will treat them: folder 2 supplies German and
// drops English, folder 1 supplies English and drops German.
struct AudioSplit {
    bool hasCandidates = false;   // some track is used for the folder's language
    bool assumedLanguage = false; // ... and at least one of those carries no matching tag
    QList<qint64> skipped;        // ids of tracks tagged with the other folder's language
};

AudioSplit splitAudio(const QList<MediaTrack> &tracks, LanguageClass wanted, LanguageClass dropped)
{
    AudioSplit split;
    for (const MediaTrack &track : tracks) {
        if (track.type != TrackType::audio)
            continue;
        const LanguageClass language = classifyLanguage(track);
        if (language == dropped) {
            split.skipped.append(track.id);
            continue;
        }
        split.hasCandidates = true;
        if (language != wanted)
            split.assumedLanguage = true;
    }
    return split;
}

std::optional<AnalysisIssue> durationIssue(const QString &label, double primary, double localized)
{
    // A broken tool report may carry NaN or infinity; no difference can be stated then.
    if (!std::isfinite(primary) || !std::isfinite(localized))
        return std::nullopt;
    const double difference = std::abs(primary - localized);
    if (difference <= 1.0)
        return std::nullopt;

    const QString seconds = QString::number(difference, 'f', 2);
    if (showsPalSpeedup(primary, localized)) {
        return AnalysisIssue(AnalysisIssueSeverity::information,
                             QStringLiteral("%1: 25→23,976-PAL-Speedup erkannt (%2 Sekunden "
                                            "Differenz); wird beim Muxen automatisch korrigiert.")
                                 .arg(label, seconds));
    }
    return AnalysisIssue(difference > 5.0 ? AnalysisIssueSeverity::warning
                                          : AnalysisIssueSeverity::information,
                         QStringLiteral("%1: Die Laufzeiten unterscheiden sich um %2 Sekunden.")
                             .arg(label, seconds));
}

void appendPairIssues(QList<AnalysisIssue> &issues, const EpisodePair &pair,
                      const MediaInspection &primary, const MediaInspection &localized)
{
    const QString label = episodeLabel(pair);
    const auto information = [&](QString text) {
        issues.append(AnalysisIssue(AnalysisIssueSeverity::information, std::move(text)));
    };

    const AudioSplit german =
        splitAudio(localized.tracks, LanguageClass::german, LanguageClass::english);
    if (!german.hasCandidates) {
        issues.append(
            AnalysisIssue(AnalysisIssueSeverity::error,
                          QStringLiteral("%1: Keine deutsche Audiospur gefunden.").arg(label)));
    } else if (german.assumedLanguage) {
        information(QStringLiteral("%1: Mindestens eine Audiospur aus Ordner 2 hat keine "
                                   "Sprachkennung und wird als Deutsch (deu) behandelt.")
                        .arg(label));
    }
    for (const qint64 id : german.skipped) {
        information(QStringLiteral("%1: Englische Audiospur %2 aus Ordner 2 wird übersprungen; "
                                   "Englisch stammt aus Ordner 1.")
                        .arg(label, QString::number(id)));
    }

    const AudioSplit english =
        splitAudio(primary.tracks, LanguageClass::english, LanguageClass::german);
    if (english.assumedLanguage) {
        information(QStringLiteral("%1: Mindestens eine Audiospur aus Ordner 1 hat keine "
                                   "Sprachkennung und wird als Englisch (eng) behandelt.")
                        .arg(label));
    }
    for (const qint64 id : english.skipped) {
        information(QStringLiteral("%1: Deutsche Audiospur %2 aus Ordner 1 wird übersprungen; "
                                   "Deutsch stammt aus Ordner 2.")
                        .arg(label, QString::number(id)));
    }

    const qsizetype sidecars =
        pair.primary->sidecarSubtitles.size() + pair.localized->sidecarSubtitles.size();
    if (sidecars > 0)
        information(QStringLiteral("%1: %2 externe Untertiteldatei(en) zugeordnet.")
                        .arg(label, QString::number(sidecars)));

    if (primary.duration && localized.duration) {
        if (auto issue = durationIssue(label, *primary.duration, *localized.duration))
            issues.append(std::move(*issue));
    }
}

} // namespace

QList<AnalysisIssue> evaluatePairs(const QList<EpisodePair> &pairs,
                                   const QHash<QUrl, MediaInspection> &inspections)
{
    QList<AnalysisIssue> issues;
    for (const EpisodePair &pair : pairs) {
        if (pair.status != PairStatus::ready || !pair.primary || !pair.localized)
            continue;
        const auto primary = inspections.constFind(pair.primary->url);
        const auto localized = inspections.constFind(pair.localized->url);
        if (primary == inspections.cend() || localized == inspections.cend())
            continue;
        appendPairIssues(issues, pair, *primary, *localized);
    }
    return issues;
}
