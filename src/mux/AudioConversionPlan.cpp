// Which German audio tracks are converted before the mux, how, and into which files.
#include "AudioConversionPlan.h"

#include "MuxError.h"
#include "OutputDirectory.h"
#include "tools/TemporaryNames.h"

using namespace Qt::Literals::StringLiterals;

AudioConversionPlan planAudioConversions(const QList<MediaTrack> &germanAudio, const QUrl &source,
                                         const MediaInspection &localized,
                                         const ToolDiscovery &tools)
{
    const std::optional<QUrl> ffmpeg = tools.locateFfmpeg();
    const std::optional<QUrl> ffprobe = tools.locateFfprobe();
    if (!ffmpeg || !ffprobe)
        throw MuxError::conversionFailed(u"ffmpeg und ffprobe werden dafür gebraucht, wurden "
                                         u"aber nicht gefunden."_s);
    AudioConversionPlan plan{{}, *ffmpeg, *ffprobe};
    // Beside the output rather than in the temporary folder: a lossless 5.1 track of an
    // episode takes more than a gigabyte, and the temporary folder is often in memory.
    for (const MediaTrack &track : germanAudio) {
        plan.conversions << GermanAudioConversion{
            source, track.id, hiddenTemporaryName(u".mka"_s),
            track.duration.value_or(localized.duration.value_or(0))};
    }
    return plan;
}
