// One pair's mux decided before it runs: the tracks, the conversions, then mkvmerge's command.
#include "MuxPlan.h"

#include "LocalizedTiming.h"

#include "analysis/PalSpeedup.h"
#include "media/Naming.h"
#include "MuxError.h"
#include "OutputDirectory.h"
#include "subtitles/SubtitleDuplicates.h"
#include "subtitles/SubtitleRules.h"
#include "tools/TemporaryNames.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

struct SidecarSplit {
    QList<QUrl> candidates;
    QList<QUrl> wrongFolder; // their names declare the other folder's language
};

SidecarSplit splitSidecars(const QList<QUrl> &sidecars, const QString &otherLanguage)
{
    SidecarSplit split;
    for (const QUrl &sidecar : sidecars)
        (sidecarLanguage(sidecar) == otherLanguage ? split.wrongFolder : split.candidates)
            << sidecar;
    return split;
}

std::optional<double> timingFactor(const MediaInspection &primary, const MediaInspection &localized,
                                   const std::optional<SyncCorrection> &correction)
{
    if ((primary.duration && localized.duration &&
         showsPalSpeedup(*primary.duration, *localized.duration)) ||
        (correction && correction->palSpeedHeard))
        return palTimingFactor;
    return std::nullopt;
}

QStringList fileNamesOf(const QList<QUrl> &files)
{
    QStringList names;
    for (const QUrl &file : files)
        names << fileNameOf(file);
    return names;
}

QList<MediaTrack> withoutTracks(const QList<MediaTrack> &tracks, const QList<MediaTrack> &left)
{
    QList<MediaTrack> kept;
    for (const MediaTrack &track : tracks) {
        const bool isLeftOut = std::any_of(left.cbegin(), left.cend(),
                                           [&](const MediaTrack &t) { return t.id == track.id; });
        if (!isLeftOut)
            kept << track;
    }
    return kept;
}

} // namespace

MuxResult MuxResult::of(const MuxPlan &plan)
{
    MuxResult result{plan.outputURL,
                     plan.skippedDuplicateSubtitles,
                     plan.skippedWrongFolderSubtitles,
                     plan.replacedBitmapSubtitleTrackIDs,
                     plan.appliedTimingFactor,
                     plan.appliedSyncOffset};
    result.appliedDrift = plan.appliedDrift;
    result.repairedSplices = plan.repairedSplices;
    return result;
}

MuxPlan buildMuxPlan(const MuxRequest &request, const ToolDiscovery &tools, const StopFlag *stop)
{
    const EpisodePair &pair = request.pair;
    if (!pair.primary || !pair.localized)
        throw MuxError::incompletePair();
    if (!request.primary || !request.localized)
        throw MuxError::inspectionMissing();
    const MediaInspection &primary = *request.primary, &localized = *request.localized;
    const std::optional<QUrl> mkvmerge = tools.locateMkvmerge();
    if (!mkvmerge)
        throw MuxError::mkvmergeNotFound();

    MuxPlan plan;
    plan.mkvmergeURL = *mkvmerge;
    const QDir folder(request.outputFolder.toLocalFile());
    // mkvmerge would create a missing folder; the user chose one that exists.
    if (!QFileInfo(folder.path()).isDir())
        throw MuxError::failed(u"Der Ausgabeordner fehlt: "_s + folder.path());
    const QString outputName = outputFileName(pair);
    plan.outputURL = QUrl::fromLocalFile(folder.absoluteFilePath(outputName));
    // exists() follows links; a dangling link still occupies the name.
    const QFileInfo output(plan.outputURL.toLocalFile());
    if (output.exists() || output.isSymLink())
        throw MuxError::outputExists(outputName);
    plan.temporaryURL =
        QUrl::fromLocalFile(folder.absoluteFilePath(hiddenTemporaryName(u".mkv"_s)));

    MkvmergeInputs inputs{plan.temporaryURL.toLocalFile(), nameWithoutExtension(outputName),
                          pair.primary->url, pair.localized->url,
                          selectTracks(primary, localized)};
    const TrackSelection &tracks = inputs.tracks;
    // Only the first video track of folder 1 is taken.
    if (!tracks.video)
        throw MuxError::failed(u"In Ordner 1 wurde keine Videospur gefunden."_s);

    plan.appliedTimingFactor = timingFactor(primary, localized, request.localizedCorrection);
    const double perFile = plan.appliedTimingFactor.value_or(1.0);
    // Undoing a measured offset: German material that sounds 1.2 s late moves 1200 ms earlier.
    // A drift is a speed: the lag grows by `drift` per second, so the German material is
    // slowed by 1 + drift, and the offset at the start moves with it.
    const SyncCorrection correction = request.localizedCorrection.value_or(SyncCorrection{});
    const std::optional<SpliceMap> splices =
        repairSplices(request, tracks, perFile, tools, stop);
    // Spliced material runs on the lag of its first stretch; unspliced, on the episode's own.
    const double offset = splices ? correction.offsetSeconds : correction.offsetWithoutSplices();
    const double drift = correction.driftPerSecond;
    inputs.localizedRatio = timingRatio(perFile, drift);
    inputs.convertedRatio = inputs.localizedRatio;
    inputs.delayMilliseconds = -std::llround(offset * 1000 / (1 + drift));
    // Subtitles that cannot follow the splices keep the episode's own lag.
    if (splices && correction.offsetWithoutSplices() != offset)
        inputs.unsplicedDelayMilliseconds =
            -std::llround(correction.offsetWithoutSplices() * 1000 / (1 + drift));
    if (drift != 0) {
        const double episode = primary.duration.value_or(localized.duration.value_or(0) * perFile);
        plan.appliedDrift = AppliedDrift{offset, offset + drift * episode};
    } else if (inputs.delayMilliseconds != 0) {
        plan.appliedSyncOffset = offset;
    }
    const bool toFilmSpeed = request.restorePitch && plan.appliedTimingFactor;
    if ((toFilmSpeed || splices) && !tracks.germanAudio.isEmpty()) {
        plan.audio = planAudioConversions(tracks.germanAudio, pair.localized->url, localized, tools);
        for (GermanAudioConversion &conversion : plan.audio.conversions) {
            conversion.toFilmSpeed = toFilmSpeed;
            conversion.splices = splices;
            conversion.germanPerFile = perFile;
            conversion.keepPitch = request.localizedPitchKept;
            inputs.convertedGermanAudio << folder.absoluteFilePath(conversion.fileName);
        }
        if (toFilmSpeed)
            inputs.convertedRatio = timingRatio(1, drift);
    }
    if (splices)
        plan.repairedSplices = splices->splices;

    const SidecarSplit germanSplit = splitSidecars(pair.localized->sidecarSubtitles, u"eng"_s);
    const SidecarSplit englishSplit = splitSidecars(pair.primary->sidecarSubtitles, u"deu"_s);
    const QList<MediaTrack> replaced =
        selectReplacedBitmapSubtitles(tracks.germanSubtitles, germanSplit.candidates);
    inputs.keptGermanSubtitles = withoutTracks(tracks.germanSubtitles, replaced);
    const SidecarSelection germanSidecars = removeDuplicateSidecars(
        germanSplit.candidates, inputs.keptGermanSubtitles, *pair.localized, *mkvmerge, stop);
    const SidecarSelection englishSidecars = removeDuplicateSidecars(
        englishSplit.candidates, tracks.englishSubtitles, *pair.primary, *mkvmerge, stop);
    inputs.germanSidecars = germanSidecars.kept;
    inputs.englishSidecars = englishSidecars.kept;

    plan.skippedDuplicateSubtitles = germanSidecars.duplicateNames + englishSidecars.duplicateNames;
    plan.skippedWrongFolderSubtitles =
        fileNamesOf(germanSplit.wrongFolder) + fileNamesOf(englishSplit.wrongFolder);
    for (const MediaTrack &track : replaced)
        plan.replacedBitmapSubtitleTrackIDs << track.id;

    if (splices)
        retimeSubtitles(plan, inputs, *splices, perFile, *mkvmerge, stop);
    plan.arguments = mkvmergeArguments(inputs, plan.sidecarCopies);
    return plan;
}
