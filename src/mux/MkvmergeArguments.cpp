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
std::optional<QString> localizedTiming(const TimingRatio &ratio, qint64 delayMilliseconds)
{
    if (ratio.isIdentity() && delayMilliseconds == 0)
        return std::nullopt;
    QString value = QString::number(delayMilliseconds);
    if (!ratio.isIdentity())
        value += u",%1/%2"_s.arg(ratio.numerator).arg(ratio.denominator);
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
// A retimed copy stands in for the user's file; it is UTF-8 with a mark.
QStringList sidecarArguments(const QUrl &sidecar, const QString &language, const QString &base,
                             const std::optional<QString> &timing, SidecarCopies &copies,
                             const std::optional<QString> &retimed = std::nullopt)
{
    const bool forced = isForcedFileName(fileNameOf(sidecar));
    if (retimed)
        copies.originals.insert(*retimed, sidecar.toLocalFile());
    return QStringList{u"--no-video"_s, u"--no-audio"_s, u"--no-chapters"_s, u"--no-global-tags"_s,
                       u"--no-track-tags"_s} +
           trackArguments(0, {language, baseTrackName(base, forced), false, forced, timing}) +
           (retimed ? QStringList{*retimed} : sidecarInput(sidecar, copies));
}

// A retimed German subtitle track: track 0 of a file of its own.
QStringList singleSubtitleArguments(const QString &file, const TrackLabel &label)
{
    return QStringList{u"--no-video"_s, u"--no-audio"_s, u"--no-chapters"_s,
                       u"--no-global-tags"_s, u"--no-track-tags"_s} +
           trackArguments(0, label) + QStringList{file};
}

// A converted German audio track: track 0 of a file of its own, already at film speed.
QStringList convertedAudioArguments(const QString &file, const TrackLabel &label)
{
    return QStringList{u"--no-video"_s, u"--no-subtitles"_s, u"--no-chapters"_s,
                       u"--no-global-tags"_s, u"--no-track-tags"_s} +
           trackArguments(0, label) + QStringList{file};
}

// Input 0 is the folder-1 file, input 1 the folder-2 file; the converted German audio tracks
// follow from input 2, each as track 0 of its own file, then the retimed German subtitle
// tracks, then the sidecars.
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
    qsizetype nextRetimed = nextSingleTrackInput;
    for (const MediaTrack &track : inputs.keptGermanSubtitles) {
        if (inputs.retimedGermanSubtitles.contains(track.id))
            entries << u"%1:0"_s.arg(nextRetimed++);
        else
            entries << u"1:%1"_s.arg(track.id);
    }
    nextSingleTrackInput = nextRetimed;
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
        localizedTiming(inputs.localizedRatio, inputs.delayMilliseconds);
    const std::optional<QString> unsplicedTiming = localizedTiming(
        inputs.localizedRatio, inputs.unsplicedDelayMilliseconds.value_or(inputs.delayMilliseconds));
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
    QList<MediaTrack> germanSubtitlesFromSource;
    for (const MediaTrack &track : inputs.keptGermanSubtitles) {
        if (!inputs.retimedGermanSubtitles.contains(track.id))
            germanSubtitlesFromSource << track;
    }
    arguments << trackSelectionArguments(u"--subtitle-tracks"_s, germanSubtitlesFromSource,
                                         u"--no-subtitles"_s);
    const auto germanAudioLabel = [&](qsizetype i, const std::optional<QString> &trackTiming) {
        return TrackLabel{u"deu"_s, trackDisplayName(u"Deutsch"_s, tracks.germanAudio.at(i), false),
                          i == 0, false, trackTiming};
    };
    if (!germanAudioConverted) {
        for (qsizetype i = 0; i < tracks.germanAudio.size(); ++i)
            arguments << trackArguments(tracks.germanAudio.at(i).id, germanAudioLabel(i, timing));
    }
    // Forced is judged against every German track, the replaced full tracks included.
    const auto germanSubtitleLabel = [&](const MediaTrack &track,
                                         const std::optional<QString> &trackTiming) {
        const bool forced = isForcedSubtitle(track, tracks.germanSubtitles);
        return TrackLabel{u"deu"_s, trackDisplayName(u"Deutsch"_s, track, forced), false, forced,
                          trackTiming};
    };
    for (const MediaTrack &track : germanSubtitlesFromSource)
        arguments << trackArguments(track.id, germanSubtitleLabel(track, unsplicedTiming));
    arguments << toolFileArgument(inputs.localizedFile);

    // Inputs from 2 on: the converted German audio, with its own factor (none where the
    // conversion brought it to film speed), and the same delay.
    for (qsizetype i = 0; i < inputs.convertedGermanAudio.size(); ++i)
        arguments << convertedAudioArguments(
            inputs.convertedGermanAudio.at(i),
            germanAudioLabel(i, localizedTiming(inputs.convertedRatio, inputs.delayMilliseconds)));
    // Retimed subtitle tracks keep the source's time scale, so the folder-2 timing applies.
    for (const MediaTrack &track : inputs.keptGermanSubtitles) {
        const auto retimed = inputs.retimedGermanSubtitles.constFind(track.id);
        if (retimed != inputs.retimedGermanSubtitles.cend())
            arguments << singleSubtitleArguments(*retimed, germanSubtitleLabel(track, timing));
    }

    for (const QUrl &sidecar : inputs.germanSidecars) {
        const auto retimed = inputs.retimedGermanSidecars.constFind(sidecar);
        const bool follows = retimed != inputs.retimedGermanSidecars.cend();
        arguments << sidecarArguments(sidecar, u"deu"_s, u"Deutsch"_s,
                                      follows ? timing : unsplicedTiming, copies,
                                      follows ? std::optional(*retimed) : std::nullopt);
    }
    for (const QUrl &sidecar : inputs.englishSidecars)
        arguments << sidecarArguments(sidecar, u"eng"_s, u"English"_s, std::nullopt, copies);

    arguments << u"--track-order"_s << trackOrder(inputs);
    return arguments;
}
