#include "MuxPlan.h"

#include "analysis/LanguageCodes.h"
#include "analysis/PalSpeedup.h"
#include "subtitles/UnmarkedUtf16.h"
#include "media/Naming.h"
#include "MuxError.h"
#include "subtitles/SubtitleDuplicates.h"
#include "subtitles/SubtitleRules.h"
#include "tools/TemporaryFolder.h"
#include "tools/TemporaryNames.h"
#include "TrackNaming.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// The tracks of one type, leaving out those tagged with the other side's language: an
// untagged track, or one of a third language, belongs to the folder it comes from.
QList<MediaTrack> tracksOf(const MediaInspection &inspection, TrackType type,
                           LanguageClass otherSide)
{
    QList<MediaTrack> tracks;
    for (const MediaTrack &track : inspection.tracks) {
        if (track.type == type && classifyLanguage(track) != otherSide)
            tracks << track;
    }
    return tracks;
}

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

std::optional<double> timingFactor(const MediaInspection &primary, const MediaInspection &localized)
{
    if (primary.duration && localized.duration &&
        showsPalSpeedup(*primary.duration, *localized.duration))
        return palTimingFactor;
    return std::nullopt;
}

QString yesNo(bool value)
{
    return value ? u"yes"_s : u"no"_s;
}

// The "--sync" value that follows the track id for folder-2 material: a delay in milliseconds,
// then the stretch. mkvmerge stretches first and adds the delay in output time.
std::optional<QString> localizedTiming(bool stretched, qint64 delayMilliseconds)
{
    if (!stretched && delayMilliseconds == 0)
        return std::nullopt;
    QString value = QString::number(delayMilliseconds);
    if (stretched)
        value += u",1001/960"_s;
    return value;
}

QStringList timingArguments(qint64 track, const std::optional<QString> &timing)
{
    if (!timing)
        return {};
    return {u"--sync"_s, QString::number(track) + u':' + *timing};
}

struct TrackLabel {
    QString language; // "eng" or "deu"
    QString name;
    bool isDefault = false;
    bool isForced = false;
    std::optional<QString> timing; // the "--sync" value after the track id
};

QStringList trackArguments(qint64 track, const TrackLabel &label)
{
    const QString id = QString::number(track) + u':';
    return QStringList{u"--language"_s,
                       id + label.language,
                       u"--track-name"_s,
                       id + label.name,
                       u"--default-track-flag"_s,
                       id + yesNo(label.isDefault),
                       u"--forced-display-flag"_s,
                       id + yesNo(label.isForced)} +
           timingArguments(track, label.timing);
}

// The file mkvmerge reads for a sidecar: unmarked UTF-16 text as a marked copy, its encoding
// named.
QStringList sidecarInput(const QUrl &sidecar, MarkedUtf16Copies &copies)
{
    const QString path = toolFileArgument(sidecar);
    const std::optional<Utf16ByteOrder> order = unmarkedUtf16OrderOfFile(path);
    if (!order)
        return {path};
    const std::optional<QString> copy = copies.add(path, *order);
    // mkvmerge cannot read the original at all.
    if (!copy) {
        const QString &problem = temporaryFolder().problem;
        throw MuxError::failed(fileNameOf(sidecar) + u": "_s +
                               (problem.isEmpty() ? u"Die Untertiteldatei konnte im temporären "
                                                    u"Ordner nicht vorbereitet werden."_s
                                                  : problem));
    }
    return {u"--sub-charset"_s, u"0:"_s + utf16CharsetName(*order), *copy};
}

// A sidecar file holds one track, track 0; its name says whether it is forced. Only subtitles
// are read from it, whatever else mkvmerge might take the file for.
QStringList sidecarArguments(const QUrl &sidecar, const QString &language, const QString &base,
                             const std::optional<QString> &timing, MarkedUtf16Copies &copies)
{
    const bool forced = isForcedFileName(fileNameOf(sidecar));
    return QStringList{u"--no-video"_s, u"--no-audio"_s, u"--no-chapters"_s, u"--no-global-tags"_s,
                       u"--no-track-tags"_s} +
           trackArguments(0, {language, baseTrackName(base, forced), false, forced, timing}) +
           sidecarInput(sidecar, copies);
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

// Input 0 is the folder-1 file, input 1 the folder-2 file; the converted German audio tracks
// follow from input 2, each as track 0 of its own file, then the sidecars.
QString trackOrder(const MediaTrack &video, const QList<MediaTrack> &germanAudio,
                   bool germanAudioConverted, const QList<MediaTrack> &englishAudio,
                   const QList<MediaTrack> &germanSubtitles, qsizetype germanSidecars,
                   const QList<MediaTrack> &englishSubtitles, qsizetype englishSidecars)
{
    QStringList entries{u"0:%1"_s.arg(video.id)};
    const auto addTracks = [&](int input, const QList<MediaTrack> &tracks) {
        for (const MediaTrack &track : tracks)
            entries << u"%1:%2"_s.arg(input).arg(track.id);
    };
    qsizetype nextSingleTrackInput = 2;
    const auto addSingleTrackInputs = [&](qsizetype count) {
        for (qsizetype i = 0; i < count; ++i)
            entries << u"%1:0"_s.arg(nextSingleTrackInput++);
    };
    if (germanAudioConverted)
        addSingleTrackInputs(germanAudio.size());
    else
        addTracks(1, germanAudio);
    addTracks(0, englishAudio);
    addTracks(1, germanSubtitles);
    addSingleTrackInputs(germanSidecars);
    addTracks(0, englishSubtitles);
    addSingleTrackInputs(englishSidecars);
    return entries.join(u',');
}

int audioIndexOf(const MediaTrack &track, const MediaInspection &inspection)
{
    int index = 0;
    for (const MediaTrack &other : inspection.tracks) {
        if (other.id == track.id)
            break;
        if (other.type == TrackType::audio)
            ++index;
    }
    return index;
}

// Finds the tools and makes the private folder for converting `germanAudio` of `localized`.
void planAudioConversions(MuxPlan &plan, const QList<MediaTrack> &germanAudio,
                          const MediaFile &localizedFile, const MediaInspection &localized,
                          const ToolDiscovery &tools)
{
    const std::optional<QUrl> ffmpeg = tools.locateFfmpeg();
    const std::optional<QUrl> ffprobe = tools.locateFfprobe();
    if (!ffmpeg || !ffprobe)
        throw MuxError::conversionFailed(u"ffmpeg und ffprobe werden dafür gebraucht, wurden "
                                         u"aber nicht gefunden."_s);
    plan.ffmpegURL = *ffmpeg;
    plan.ffprobeURL = *ffprobe;
    const std::optional<QString> folderTemplate = privateFolderTemplate(u"audio"_s);
    if (!folderTemplate)
        throw MuxError::conversionFailed(temporaryFolder().problem);
    plan.conversionFolder = std::make_shared<QTemporaryDir>(*folderTemplate);
    if (!plan.conversionFolder->isValid())
        throw MuxError::conversionFailed(plan.conversionFolder->errorString());
    for (const MediaTrack &track : germanAudio) {
        plan.audioConversions << GermanAudioConversion{
            localizedFile.url, track.id, audioIndexOf(track, localized),
            plan.conversionFolder->filePath(u"%1.mka"_s.arg(track.id)),
            track.duration.value_or(localized.duration.value_or(0))};
    }
}

// A converted German audio track: track 0 of a file of its own, already at film speed.
QStringList convertedAudioArguments(const QString &file, const TrackLabel &label)
{
    return QStringList{u"--no-video"_s, u"--no-subtitles"_s, u"--no-chapters"_s,
                       u"--no-global-tags"_s, u"--no-track-tags"_s} +
           trackArguments(0, label) + QStringList{file};
}

} // namespace

MuxResult MuxResult::of(const MuxPlan &plan)
{
    return {plan.outputURL,
            plan.skippedDuplicateSubtitles,
            plan.skippedWrongFolderSubtitles,
            plan.replacedBitmapSubtitleTrackIDs,
            plan.appliedTimingFactor,
            plan.appliedSyncOffset};
}

QList<MediaTrack> englishAudioTracks(const MediaInspection &primary)
{
    return tracksOf(primary, TrackType::audio, LanguageClass::german);
}

QList<MediaTrack> germanAudioTracks(const MediaInspection &localized)
{
    return tracksOf(localized, TrackType::audio, LanguageClass::english);
}

QStringList trackSelectionArguments(const QString &option, const QList<MediaTrack> &tracks,
                                    const QString &noneOption)
{
    if (tracks.isEmpty())
        return {noneOption};
    QStringList ids;
    for (const MediaTrack &track : tracks)
        ids << QString::number(track.id);
    return {option, ids.join(u',')};
}

MuxPlan buildMuxPlan(const EpisodePair &pair, const std::optional<MediaInspection> &primary,
                     const std::optional<MediaInspection> &localized, const QUrl &outputFolder,
                     const ToolDiscovery &tools, std::optional<double> localizedOffset,
                     const StopFlag *stop, bool restorePitch)
{
    if (!pair.primary || !pair.localized)
        throw MuxError::incompletePair();
    if (!primary || !localized)
        throw MuxError::inspectionMissing();
    const std::optional<QUrl> mkvmerge = tools.locateMkvmerge();
    if (!mkvmerge)
        throw MuxError::mkvmergeNotFound();

    MuxPlan plan;
    plan.mkvmergeURL = *mkvmerge;
    const QDir folder(outputFolder.toLocalFile());
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

    // Only the first video track of folder 1 is taken.
    const auto video =
        std::find_if(primary->tracks.cbegin(), primary->tracks.cend(),
                     [](const MediaTrack &track) { return track.type == TrackType::video; });
    if (video == primary->tracks.cend())
        throw MuxError::failed(u"In Ordner 1 wurde keine Videospur gefunden."_s);

    const QList<MediaTrack> englishAudio = englishAudioTracks(*primary);
    const QList<MediaTrack> englishSubtitles =
        tracksOf(*primary, TrackType::subtitles, LanguageClass::german);
    const QList<MediaTrack> germanAudio = germanAudioTracks(*localized);
    const QList<MediaTrack> germanSubtitles =
        tracksOf(*localized, TrackType::subtitles, LanguageClass::english);

    plan.appliedTimingFactor = timingFactor(*primary, *localized);
    // Undoing a measured offset: German material that sounds 1.2 s late moves 1200 ms earlier.
    const qint64 delay = localizedOffset ? -std::llround(*localizedOffset * 1000) : 0;
    if (delay != 0)
        plan.appliedSyncOffset = localizedOffset;
    const std::optional<QString> timing =
        localizedTiming(plan.appliedTimingFactor.has_value(), delay);
    if (restorePitch && plan.appliedTimingFactor && !germanAudio.isEmpty())
        planAudioConversions(plan, germanAudio, *pair.localized, *localized, tools);
    const bool germanAudioConverted = !plan.audioConversions.isEmpty();

    const SidecarSplit germanSplit = splitSidecars(pair.localized->sidecarSubtitles, u"eng"_s);
    const SidecarSplit englishSplit = splitSidecars(pair.primary->sidecarSubtitles, u"deu"_s);
    const QList<MediaTrack> replaced =
        selectReplacedBitmapSubtitles(germanSubtitles, germanSplit.candidates);
    const QList<MediaTrack> keptGermanSubtitles = withoutTracks(germanSubtitles, replaced);
    const SidecarSelection germanSidecars = removeDuplicateSidecars(
        germanSplit.candidates, keptGermanSubtitles, *pair.localized, *mkvmerge, stop);
    const SidecarSelection englishSidecars = removeDuplicateSidecars(
        englishSplit.candidates, englishSubtitles, *pair.primary, *mkvmerge, stop);

    plan.skippedDuplicateSubtitles = germanSidecars.duplicateNames + englishSidecars.duplicateNames;
    plan.skippedWrongFolderSubtitles =
        fileNamesOf(germanSplit.wrongFolder) + fileNamesOf(englishSplit.wrongFolder);
    for (const MediaTrack &track : replaced)
        plan.replacedBitmapSubtitleTrackIDs << track.id;

    const QString title = nameWithoutExtension(outputName);
    QStringList &arguments = plan.arguments;
    arguments << u"--output"_s << plan.temporaryURL.toLocalFile() << u"--title"_s << title;

    // Input 0: the video and the English material of folder 1, with its chapters.
    arguments << u"--video-tracks"_s << QString::number(video->id) << u"--no-global-tags"_s
              << u"--no-track-tags"_s;
    arguments << trackSelectionArguments(u"--audio-tracks"_s, englishAudio, u"--no-audio"_s);
    arguments << trackSelectionArguments(u"--subtitle-tracks"_s, englishSubtitles,
                                         u"--no-subtitles"_s);
    for (const MediaTrack &track : englishAudio)
        arguments << trackArguments(track.id,
                                    {u"eng"_s, trackDisplayName(u"English"_s, track, false)});
    for (const MediaTrack &track : englishSubtitles) {
        const bool forced = isForcedSubtitle(track, englishSubtitles);
        arguments << trackArguments(
            track.id, {u"eng"_s, trackDisplayName(u"English"_s, track, forced), false, forced});
    }
    arguments << toolFileArgument(pair.primary->url);

    // Input 1: the German material of folder 2, stretched back to film speed where needed.
    arguments << u"--no-video"_s << u"--no-chapters"_s << u"--no-global-tags"_s
              << u"--no-track-tags"_s;
    arguments << trackSelectionArguments(u"--audio-tracks"_s,
                                         germanAudioConverted ? QList<MediaTrack>() : germanAudio,
                                         u"--no-audio"_s);
    arguments << trackSelectionArguments(u"--subtitle-tracks"_s, keptGermanSubtitles,
                                         u"--no-subtitles"_s);
    const auto germanAudioLabel = [&](qsizetype i, const std::optional<QString> &trackTiming) {
        return TrackLabel{u"deu"_s, trackDisplayName(u"Deutsch"_s, germanAudio.at(i), false),
                          i == 0, false, trackTiming};
    };
    if (!germanAudioConverted) {
        for (qsizetype i = 0; i < germanAudio.size(); ++i)
            arguments << trackArguments(germanAudio.at(i).id, germanAudioLabel(i, timing));
    }
    for (const MediaTrack &track : keptGermanSubtitles) {
        // Forced is judged against every German track, the replaced full tracks included.
        const bool forced = isForcedSubtitle(track, germanSubtitles);
        arguments << trackArguments(
            track.id,
            {u"deu"_s, trackDisplayName(u"Deutsch"_s, track, forced), false, forced, timing});
    }
    arguments << toolFileArgument(pair.localized->url);

    // Inputs from 2 on: the converted German audio, at film speed already, so only a measured
    // offset still applies.
    for (qsizetype i = 0; i < plan.audioConversions.size(); ++i)
        arguments << convertedAudioArguments(plan.audioConversions.at(i).outputPath,
                                             germanAudioLabel(i, localizedTiming(false, delay)));

    plan.sidecarCopies = std::make_shared<MarkedUtf16Copies>();
    for (const QUrl &sidecar : germanSidecars.kept)
        arguments << sidecarArguments(sidecar, u"deu"_s, u"Deutsch"_s, timing, *plan.sidecarCopies);
    for (const QUrl &sidecar : englishSidecars.kept)
        arguments << sidecarArguments(sidecar, u"eng"_s, u"English"_s, std::nullopt,
                                      *plan.sidecarCopies);

    arguments << u"--track-order"_s
              << trackOrder(*video, germanAudio, germanAudioConverted, englishAudio,
                            keptGermanSubtitles, germanSidecars.kept.size(), englishSubtitles,
                            englishSidecars.kept.size());
    return plan;
}
