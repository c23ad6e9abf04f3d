// Finds the stream ffmpeg is to read for a track mkvmerge named, and how it is encoded.
#include "SourceAudioStream.h"

#include "MuxError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

std::optional<qint64> numberIn(const QJsonValue &value)
{
    if (value.isDouble())
        return qint64(value.toDouble());
    bool ok = false;
    const qint64 number = value.toString().toLongLong(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

QJsonObject elementWith(const QByteArray &json, const QString &list, const QString &key,
                        qint64 value)
{
    const QJsonArray elements = QJsonDocument::fromJson(json).object().value(list).toArray();
    for (const QJsonValue &element : elements) {
        if (numberIn(element.toObject().value(key)) == value)
            return element.toObject();
    }
    return {};
}

// The start of the Matroska codec id that a codec of ffprobe's name is stored under; empty
// where the name is not one of these.
QString matroskaCodecPrefix(const QString &ffprobeCodec)
{
    static const QList<std::pair<QString, QString>> prefixes{
        {u"ac3"_s, u"A_AC3"_s},       {u"eac3"_s, u"A_EAC3"_s},     {u"dts"_s, u"A_DTS"_s},
        {u"truehd"_s, u"A_TRUEHD"_s}, {u"aac"_s, u"A_AAC"_s},       {u"opus"_s, u"A_OPUS"_s},
        {u"vorbis"_s, u"A_VORBIS"_s}, {u"flac"_s, u"A_FLAC"_s},     {u"mp3"_s, u"A_MPEG/L3"_s},
        {u"mp2"_s, u"A_MPEG/L2"_s},   {u"pcm_"_s, u"A_PCM"_s}};
    for (const auto &[codec, prefix] : prefixes) {
        if (ffprobeCodec == codec || (codec.endsWith(u'_') && ffprobeCodec.startsWith(codec)))
            return prefix;
    }
    return {};
}

} // namespace

SourceAudioStream matchAudioStream(const QByteArray &identification, const QByteArray &streams,
                                   qint64 trackID)
{
    const QJsonObject track = elementWith(identification, u"tracks"_s, u"id"_s, trackID);
    const QJsonObject stream = elementWith(streams, u"streams"_s, u"index"_s, trackID);
    if (track.isEmpty() || stream.isEmpty())
        throw MuxError::conversionFailed(u"ffprobe findet die Tonspur nicht in der Datei."_s);
    const QJsonObject properties = track.value(u"properties").toObject();
    const QJsonObject tags = stream.value(u"tags").toObject();
    AudioSourceFormat format{stream.value(u"codec_name").toString(),
                             stream.value(u"channels").toInt(),
                             int(numberIn(stream.value(u"sample_rate")).value_or(0)),
                             numberIn(stream.value(u"bit_rate"))};
    // Matroska keeps the average of a variable rate in mkvmerge's statistics tags.
    if (!format.bitRate)
        format.bitRate = numberIn(tags.value(u"BPS"));
    const QString prefix = matroskaCodecPrefix(format.codec);
    const bool sameTrack =
        stream.value(u"codec_type").toString() == u"audio" &&
        (prefix.isEmpty() || properties.value(u"codec_id").toString().startsWith(prefix)) &&
        numberIn(properties.value(u"audio_channels")) == format.channels &&
        numberIn(properties.value(u"audio_sampling_frequency")) == format.sampleRate;
    if (!sameTrack)
        throw MuxError::conversionFailed(
            u"ffmpeg zählt die Spuren der Datei anders als mkvmerge; die Tonspur %1 ist dort "
            u"nicht eindeutig zu finden und wird nicht umgerechnet."_s.arg(trackID));
    return {int(trackID), format};
}

std::optional<qint64> measuredBitRate(const QByteArray &packets)
{
    double bytes = 0, seconds = 0;
    for (const QByteArray &line : packets.split('\n')) {
        std::optional<double> size, duration;
        for (const QByteArray &field : line.trimmed().split('|')) {
            bool ok = false;
            const double value = field.mid(field.indexOf('=') + 1).toDouble(&ok);
            if (ok && field.startsWith("size="))
                size = value;
            else if (ok && field.startsWith("duration_time="))
                duration = value;
        }
        // A packet without a duration says nothing about the rate.
        if (size && duration) {
            bytes += *size;
            seconds += *duration;
        }
    }
    if (!(seconds > 0))
        return std::nullopt;
    return std::llround(bytes * 8 / seconds);
}
