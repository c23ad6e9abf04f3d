// The timing of folder-2 material: mkvmerge's stretch ratio, a repair's splices, retimed subtitles.
#include "LocalizedTiming.h"

#include "CutRepair.h"
#include "analysis/PalSpeedup.h"
#include "media/Naming.h"
#include "MuxError.h"
#include "OutputDirectory.h"
#include "subtitles/SubtitleDuplicates.h"
#include "subtitles/SubtitleRules.h"
#include "tools/TemporaryNames.h"
#include "tools/ToolDiscovery.h"
#include <cmath>

using namespace Qt::Literals::StringLiterals;

// mkvmerge's factor for material whose German film time is its own time × `perFile`, undoing
// a drift of `drift` seconds per second: exact for the PAL stretch alone, else with nine
// digits, which mkvmerge multiplies without overflow even for hours.
TimingRatio timingRatio(double perFile, double drift)
{
    const bool pal = perFile != 1;
    if (drift == 0)
        return pal ? TimingRatio{1001, 960} : TimingRatio{};
    constexpr qint64 scale = 1000000;
    return {(pal ? 1001 : 1000) * scale, std::llround((pal ? 960 : 1000) * scale * (1 + drift))};
}

// The splices of a repair that is asked for, believable, and has something to splice: at the
// quietest moments of the first German audio track where ffmpeg is there to find them.
std::optional<SpliceMap> repairSplices(const MuxRequest &request, const TrackSelection &tracks,
                                       double perFile, const ToolDiscovery &tools,
                                       const StopFlag *stop)
{
    if (!request.repairCuts || !request.localizedCorrection)
        return std::nullopt;
    const std::optional<SpliceMap> planned = plannedSplices(*request.localizedCorrection);
    if (!planned || tracks.germanAudio.isEmpty())
        return planned;
    const std::optional<QUrl> ffmpeg = tools.locateFfmpeg();
    if (!ffmpeg)
        return planned; // the conversion fails the pair with the reason
    return quietestSplices(*planned, {ffmpeg->toLocalFile(), request.pair.localized->url,
                                      audioIndexOf(tracks.germanAudio.first(), *request.localized)
                                          .value_or(0),
                                      perFile, stop});
}

// The German subtitles that can follow the splices: text and PGS tracks and sidecars, as
// retimed copies that the arguments name instead. Other bitmap subtitles keep the offset alone.
void retimeSubtitles(MuxPlan &plan, MkvmergeInputs &inputs, const SpliceMap &splices,
                     double perFile, const QUrl &mkvmerge, const StopFlag *stop)
{
    const SubtitleTimeMap map{
        [=](double seconds) -> std::optional<double> {
            const std::optional<double> spliced = splices.splicedTime(seconds * perFile);
            return spliced ? std::optional(*spliced / perFile) : std::nullopt;
        },
        [=](double seconds) { return splices.splicedEnd(seconds * perFile) / perFile; }};
    plan.retimedSubtitles = std::make_shared<RetimedSubtitles>();
    const std::optional<QUrl> mkvextract = ToolDiscovery::locateMkvextractBeside(mkvmerge);
    for (const MediaTrack &track : inputs.keptGermanSubtitles) {
        if (!isRetimableSubtitle(track.codec))
            continue;
        if (!mkvextract)
            throw MuxError::failed(u"Die deutsche Untertitelspur %1 ließ sich nicht an die "
                                   u"Schnitte anpassen: mkvextract fehlt neben mkvmerge."_s
                                       .arg(track.id));
        const std::optional<QString> copy = plan.retimedSubtitles->addTrack(
            inputs.localizedFile, track.id, track.codec, mkvextract->toLocalFile(), map, stop);
        if (!copy)
            throw MuxError::failed(u"Die deutsche Untertitelspur %1 ließ sich nicht an die "
                                   u"Schnitte anpassen."_s.arg(track.id));
        inputs.retimedGermanSubtitles.insert(track.id, *copy);
    }
    for (const QUrl &sidecar : inputs.germanSidecars) {
        if (!isRetimableSubtitle(fileNameOf(sidecar)))
            continue;
        const std::optional<QString> copy =
            plan.retimedSubtitles->addFile(sidecar.toLocalFile(), map);
        if (!copy)
            throw MuxError::failed(fileNameOf(sidecar) +
                                   u": Die Untertiteldatei ließ sich nicht an die Schnitte "
                                   u"anpassen."_s);
        inputs.retimedGermanSidecars.insert(sidecar, *copy);
    }
}
