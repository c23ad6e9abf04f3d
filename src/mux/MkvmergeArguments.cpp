// mkvmerge's command line for one pair, written from the tracks and files the plan chose.
#include "MkvmergeArguments.h"

#include "media/Naming.h"
#include "MuxError.h"
#include "subtitles/SubtitleRules.h"
#include "subtitles/UnmarkedUtf16.h"
#include "tools/ChildProcess.h"
#include "tools/TemporaryFolder.h"
#include "TrackNaming.h"

using namespace Qt::Literals::StringLiterals;

namespace {

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
QStringList sidecarInput(const QUrl &sidecar, SidecarCopies &copies)
{
    const QString path = toolFileArgument(sidecar);
    const std::optional<Utf16ByteOrder> order = unmarkedUtf16OrderOfFile(path);
    if (!order)
        return {path};
    if (!copies.files)
        copies.files = std::make_shared<MarkedUtf16Copies>();
    const std::optional<QString> copy = copies.files->add(path, *order);
    // mkvmerge cannot read the original at all.
    if (!copy) {
        const QString &problem = temporaryFolder().problem;
        throw MuxError::failed(fileNameOf(sidecar) + u": "_s +
                               (problem.isEmpty() ? u"Die Untertiteldatei konnte im temporären "
                                                    u"Ordner nicht vorbereitet werden."_s
                                                  : problem));
    }
    copies.originals.insert(*copy, sidecar.toLocalFile());
    return {u"--sub-charset"_s, u"0:"_s + utf16CharsetName(*order), *copy};
}

// A sidecar file holds one track, track 0; its name says whether it is forced. Only subtitles
// are read from it, whatever else mkvmerge might take the file for.
QStringList sidecarArguments(const QUrl &sidecar, const QString &language, const QString &base,
                             const std::optional<QString> &timing, SidecarCopies &copies)
{
    const bool forced = isForcedFileName(fileNameOf(sidecar));
    return QStringList{u"--no-video"_s, u"--no-audio"_s, u"--no-chapters"_s, u"--no-global-tags"_s,
                       u"--no-track-tags"_s} +
           trackArguments(0, {language, baseTrackName(base, forced), false, forced, timing}) +
           sidecarInput(sidecar, copies);
}

// A converted German audio track: track 0 of a file of its own, already at film speed.
QStringList convertedAudioArguments(const QString &file, const TrackLabel &label)
{
    return QStringList{u"--no-video"_s, u"--no-subtitles"_s, u"--no-chapters"_s,
                       u"--no-global-tags"_s, u"--no-track-tags"_s} +
           trackArguments(0, label) + QStringList{file};
}

// Input 0 is the folder-1 file, input 1 the folder-2 file; the converted German audio tracks
// follow from input 2, each as track 0 of its own file, then the sidecars.
QString trackOrder(const MkvmergeInputs &inputs)
{
    const TrackSelection &tracks = inputs.tracks;
    QStringList entries{u"0:%1"_s.arg(tracks.video->id)};
    const auto addTracks = [&](int input, const QList<MediaTrack> &list) {
        for (const MediaTrack &track : list)
            entries << u"%1:%2"_s.arg(input).arg(track.id);
    };
    qsizetype nextSingleTrackInput = 2;
    const auto addSingleTrackInputs = [&](qsizetype count) {
        for (qsizetype i = 0; i < count; ++i)
            entries << u"%1:0"_s.arg(nextSingleTrackInput++);
    };
    if (!inputs.convertedGermanAudio.isEmpty())
        addSingleTrackInputs(inputs.convertedGermanAudio.size());
    else
        addTracks(1, tracks.germanAudio);
    addTracks(0, tracks.englishAudio);
    addTracks(1, inputs.keptGermanSubtitles);
    addSingleTrackInputs(inputs.germanSidecars.size());
    addTracks(0, tracks.englishSubtitles);
    addSingleTrackInputs(inputs.englishSidecars.size());
    return entries.join(u',');
}

} // namespace

QString SidecarCopies::withOriginalPaths(QString toolText) const
{
    for (auto copy = originals.cbegin(); copy != originals.cend(); ++copy)
        toolText.replace(copy.key(), copy.value());
    return toolText;
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

QStringList mkvmergeArguments(const MkvmergeInputs &inputs, SidecarCopies &copies)
{
    const TrackSelection &tracks = inputs.tracks;
    const std::optional<QString> timing =
        localizedTiming(inputs.stretched, inputs.delayMilliseconds);
    const bool germanAudioConverted = !inputs.convertedGermanAudio.isEmpty();
    QStringList arguments{u"--output"_s, inputs.outputPath, u"--title"_s, inputs.title};

    // Input 0: the video and the English material of folder 1, with its chapters.
    arguments << u"--video-tracks"_s << QString::number(tracks.video->id) << u"--no-global-tags"_s
              << u"--no-track-tags"_s;
    arguments << trackSelectionArguments(u"--audio-tracks"_s, tracks.englishAudio,
                                         u"--no-audio"_s);
    arguments << trackSelectionArguments(u"--subtitle-tracks"_s, tracks.englishSubtitles,
                                         u"--no-subtitles"_s);
    for (const MediaTrack &track : tracks.englishAudio)
        arguments << trackArguments(track.id,
                                    {u"eng"_s, trackDisplayName(u"English"_s, track, false)});
    for (const MediaTrack &track : tracks.englishSubtitles) {
        const bool forced = isForcedSubtitle(track, tracks.englishSubtitles);
        arguments << trackArguments(
            track.id, {u"eng"_s, trackDisplayName(u"English"_s, track, forced), false, forced});
    }
    arguments << toolFileArgument(inputs.primaryFile);

    // Input 1: the German material of folder 2, stretched back to film speed where needed.
    arguments << u"--no-video"_s << u"--no-chapters"_s << u"--no-global-tags"_s
              << u"--no-track-tags"_s;
    arguments << trackSelectionArguments(u"--audio-tracks"_s,
                                         germanAudioConverted ? QList<MediaTrack>()
                                                              : tracks.germanAudio,
                                         u"--no-audio"_s);
    arguments << trackSelectionArguments(u"--subtitle-tracks"_s, inputs.keptGermanSubtitles,
                                         u"--no-subtitles"_s);
    const auto germanAudioLabel = [&](qsizetype i, const std::optional<QString> &trackTiming) {
        return TrackLabel{u"deu"_s, trackDisplayName(u"Deutsch"_s, tracks.germanAudio.at(i), false),
                          i == 0, false, trackTiming};
    };
    if (!germanAudioConverted) {
        for (qsizetype i = 0; i < tracks.germanAudio.size(); ++i)
            arguments << trackArguments(tracks.germanAudio.at(i).id, germanAudioLabel(i, timing));
    }
    for (const MediaTrack &track : inputs.keptGermanSubtitles) {
        // Forced is judged against every German track, the replaced full tracks included.
        const bool forced = isForcedSubtitle(track, tracks.germanSubtitles);
        arguments << trackArguments(
            track.id,
            {u"deu"_s, trackDisplayName(u"Deutsch"_s, track, forced), false, forced, timing});
    }
    arguments << toolFileArgument(inputs.localizedFile);

    // Inputs from 2 on: the converted German audio, at film speed already, so only a measured
    // offset still applies.
    for (qsizetype i = 0; i < inputs.convertedGermanAudio.size(); ++i)
        arguments << convertedAudioArguments(
            inputs.convertedGermanAudio.at(i),
            germanAudioLabel(i, localizedTiming(false, inputs.delayMilliseconds)));

    for (const QUrl &sidecar : inputs.germanSidecars)
        arguments << sidecarArguments(sidecar, u"deu"_s, u"Deutsch"_s, timing, copies);
    for (const QUrl &sidecar : inputs.englishSidecars)
        arguments << sidecarArguments(sidecar, u"eng"_s, u"English"_s, std::nullopt, copies);

    arguments << u"--track-order"_s << trackOrder(inputs);
    return arguments;
}
