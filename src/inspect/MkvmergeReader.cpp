// Track inspection with mkvmerge: running --identify and reading its tracks.
#include "MkvmergeReader.h"

#include "JsonFields.h"
#include "ToolRun.h"
#include "tools/ToolLanguage.h"

#include <QJsonArray>

MediaInspection identifyWithMkvmerge(const QUrl &mkvmerge, const QUrl &file, const StopFlag *stop)
{
    const QByteArray output =
        runTool(mkvmerge.toLocalFile(),
                uiLanguageArguments() + QStringList{QStringLiteral("--identify"),
                                                    QStringLiteral("--identification-format"),
                                                    QStringLiteral("json"), toolFileArgument(file)},
                stop);
    const QJsonObject root = parseToolJson(output, QStringLiteral("tracks"));

    MediaInspection inspection;
    inspection.file = file;
    const QJsonObject container = root.value(u"container").toObject();
    if (const auto nanoseconds =
            jsonNumber(container.value(u"properties").toObject().value(u"duration")))
        inspection.duration = *nanoseconds / 1e9;
    for (const QJsonValue &element : root.value(u"tracks").toArray()) {
        if (auto track = parseMkvmergeTrack(element.toObject()))
            inspection.tracks.append(std::move(*track));
    }
    return inspection;
}

std::optional<MediaTrack> parseMkvmergeTrack(const QJsonObject &track)
{
    const auto id = jsonInteger(track.value(u"id"));
    if (!id)
        return std::nullopt;

    MediaTrack result;
    result.id = *id;
    const auto type = jsonText(track.value(u"type"));
    result.type =
        type ? trackTypeFromRawValue(*type).value_or(TrackType::unknown) : TrackType::unknown;
    result.codec = jsonText(track.value(u"codec")).value_or(QStringLiteral("Unbekannt"));

    const QJsonObject properties = track.value(u"properties").toObject();
    result.language = jsonText(properties.value(u"language"));
    result.name = jsonText(properties.value(u"track_name"));
    if (const auto tagDuration = jsonText(properties.value(u"tag_duration")))
        result.duration = parseClockDuration(*tagDuration);
    // The statistics tag counts frames; the index count is the fallback where it is missing.
    if (const auto frames = jsonText(properties.value(u"tag_number_of_frames")))
        result.elementCount = parseIntegerText(*frames);
    if (!result.elementCount)
        result.elementCount = jsonInteger(properties.value(u"num_index_entries"));
    result.defaultTrack = jsonBoolean(properties.value(u"default_track")).value_or(false);
    result.forcedTrack = jsonBoolean(properties.value(u"forced_track")).value_or(false);
    return result;
}
