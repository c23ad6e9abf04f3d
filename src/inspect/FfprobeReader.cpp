// Track inspection with ffprobe: running it and reading its streams.
#include "FfprobeReader.h"

#include "JsonFields.h"
#include "MkvmergeReader.h" // parseClockDuration
#include "ToolRun.h"

#include <QJsonArray>

namespace {

// ffprobe writes numbers as text, "N/A" where it has none.
std::optional<double> decimalField(const QJsonObject &object, QStringView key)
{
    const auto text = jsonText(object.value(key));
    return text ? parseDecimalText(*text) : std::nullopt;
}

bool dispositionSet(const QJsonObject &disposition, QStringView key)
{
    return jsonInteger(disposition.value(key)) == 1;
}

} // namespace

MediaInspection probeWithFfprobe(const QUrl &ffprobe, const QUrl &file, const StopFlag *stop)
{
    const QByteArray output =
        runTool(ffprobe.toLocalFile(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_format"),
                 QStringLiteral("-show_streams"), QStringLiteral("-of"), QStringLiteral("json"),
                 toolFileArgument(file)},
                stop);
    const QJsonObject root = parseToolJson(output, QStringLiteral("streams"));

    MediaInspection inspection;
    inspection.file = file;
    inspection.duration = decimalField(root.value(u"format").toObject(), u"duration");
    for (const QJsonValue &element : root.value(u"streams").toArray()) {
        if (auto track = parseFfprobeStream(element.toObject()))
            inspection.tracks.append(std::move(*track));
    }
    return inspection;
}

std::optional<MediaTrack> parseFfprobeStream(const QJsonObject &stream)
{
    const auto index = jsonInteger(stream.value(u"index"));
    if (!index)
        return std::nullopt;

    MediaTrack result;
    result.id = *index;
    const auto codecType = jsonText(stream.value(u"codec_type"));
    if (codecType && *codecType == QStringLiteral("subtitle"))
        result.type = TrackType::subtitles;
    else if (codecType)
        result.type = trackTypeFromRawValue(*codecType).value_or(TrackType::unknown);

    const QJsonObject tags = stream.value(u"tags").toObject();
    result.duration = decimalField(stream, u"duration");
    if (!result.duration) {
        if (const auto tagDuration = jsonText(tags.value(u"DURATION")))
            result.duration = parseClockDuration(*tagDuration);
    }
    result.codec =
        jsonText(stream.value(u"codec_long_name"))
            .value_or(jsonText(stream.value(u"codec_name")).value_or(QStringLiteral("Unbekannt")));
    result.language = jsonText(tags.value(u"language"));
    result.name = jsonText(tags.value(u"title"));
    if (const auto frames = jsonText(stream.value(u"nb_frames")))
        result.elementCount = parseIntegerText(*frames);

    const QJsonObject disposition = stream.value(u"disposition").toObject();
    result.defaultTrack = dispositionSet(disposition, u"default");
    result.forcedTrack = dispositionSet(disposition, u"forced");
    return result;
}
