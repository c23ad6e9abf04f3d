#include "FilmSpeedAudio.h"

#include "analysis/PalSpeedup.h"
#include "MuxError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <climits>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int probeTimeLimitMilliseconds = 60000;

[[noreturn]] void fail(const QString &reason)
{
    throw MuxError::conversionFailed(reason);
}

// A stop that came as the tool ended still cancels the pair, as it does for mkvmerge.
ChildOutcome runTool(const ChildRequest &request)
{
    ChildOutcome outcome = runChild(request);
    if (outcome.stopped || (request.stop && request.stop->load()))
        throw MuxError::cancelled();
    if (!outcome.succeeded())
        fail(outcome.exitMessage());
    return outcome;
}

std::optional<qint64> numberIn(const QJsonValue &value)
{
    bool ok = false;
    const qint64 number = value.toString().toLongLong(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

AudioSourceFormat probe(const FilmSpeedRequest &request, const StopFlag *stop)
{
    const ChildOutcome outcome = runTool(
        {request.ffprobe,
         {u"-v"_s, u"error"_s, u"-select_streams"_s, u"a:%1"_s.arg(request.audioIndex),
          u"-show_entries"_s, u"stream=codec_name,channels,sample_rate,bit_rate:stream_tags"_s,
          u"-of"_s, u"json"_s, toolFileArgument(request.source)},
         ChildOutput::separate,
         stop,
         probeTimeLimitMilliseconds});
    const QJsonArray streams =
        QJsonDocument::fromJson(outcome.standardOutput).object().value(u"streams").toArray();
    if (streams.isEmpty())
        fail(u"ffprobe findet die Tonspur nicht in der Datei."_s);
    const QJsonObject stream = streams.first().toObject();
    const QJsonObject tags = stream.value(u"tags").toObject();
    AudioSourceFormat format{stream.value(u"codec_name").toString(),
                             stream.value(u"channels").toInt(),
                             int(numberIn(stream.value(u"sample_rate")).value_or(0)),
                             numberIn(stream.value(u"bit_rate"))};
    // Matroska keeps the average of a variable rate in mkvmerge's statistics tags.
    if (!format.bitRate)
        format.bitRate = numberIn(tags.value(u"BPS"));
    return format;
}

// Reading the samples as if recorded at rate × 960 and resampling them to rate × 1001 slows
// them by exactly 960/1001 with integer rates; the rate is then the source's again. Cutting
// the encoder's priming from the start keeps the track in sync.
QString filmSpeedFilter(int sampleRate, const AudioEncoding &encoding)
{
    const qint64 rate = sampleRate;
    QString filter =
        u"asetrate=%1,aresample=%2,asetrate=%3"_s.arg(rate * 960).arg(rate * 1001).arg(rate);
    if (encoding.primingSamples > 0)
        filter += u",atrim=start_sample=%1"_s.arg(encoding.primingSamples);
    return filter;
}

QStringList ffmpegArguments(const FilmSpeedRequest &request, const AudioSourceFormat &source,
                            const AudioEncoding &encoding)
{
    QStringList arguments{u"-nostdin"_s,
                          u"-hide_banner"_s,
                          u"-loglevel"_s,
                          u"error"_s,
                          u"-nostats"_s,
                          u"-progress"_s,
                          u"pipe:1"_s,
                          u"-i"_s,
                          toolFileArgument(request.source),
                          u"-map"_s,
                          u"0:a:%1"_s.arg(request.audioIndex),
                          u"-map_metadata"_s,
                          u"-1"_s,
                          u"-map_chapters"_s,
                          u"-1"_s,
                          u"-af"_s,
                          filmSpeedFilter(source.sampleRate, encoding),
                          u"-c:a"_s,
                          encoding.encoder};
    if (encoding.kilobitsPerSecond)
        arguments << u"-b:a"_s << u"%1k"_s.arg(*encoding.kilobitsPerSecond);
    // -n: the folder is new, so a file already at the name is none of ours.
    arguments << u"-f"_s << u"matroska"_s << u"-n"_s << request.outputPath;
    return arguments;
}

// Follows ffmpeg's "-progress" output: blocks of key=value lines, of which "out_time_us"
// says how far the output has got.
class ProgressLines {
public:
    // The output time of the last complete "out_time_us" line in `chunk`, if any.
    std::optional<qint64> take(const QByteArray &chunk)
    {
        m_open += chunk;
        std::optional<qint64> latest;
        qsizetype lineEnd;
        while ((lineEnd = m_open.indexOf('\n')) >= 0) {
            const QByteArray line = m_open.left(lineEnd).trimmed();
            m_open.remove(0, lineEnd + 1);
            if (line.startsWith("out_time_us=")) {
                bool ok = false;
                const qint64 microseconds = line.mid(12).toLongLong(&ok);
                if (ok)
                    latest = microseconds;
            }
        }
        return latest;
    }

private:
    QByteArray m_open;
};

} // namespace

int filmSpeedTimeLimitMilliseconds(double sourceSeconds)
{
    return int(std::min(60000.0 + std::max(sourceSeconds, 0.0) * 500.0, double(INT_MAX)));
}

AudioEncoding convertToFilmSpeed(const FilmSpeedRequest &request, const FilmSpeedLimits &limits)
{
    const AudioSourceFormat source = probe(request, limits.stop);
    if (source.sampleRate <= 0)
        fail(u"ffprobe nennt keine Abtastrate der Tonspur."_s);
    const AudioEncoding encoding = chooseAudioEncoding(source);

    const double outputMicroseconds = request.sourceSeconds * palTimingFactor * 1e6;
    ProgressLines progress;
    std::optional<qint64> written;
    runTool({request.ffmpeg, ffmpegArguments(request, source, encoding), ChildOutput::separate,
             limits.stop, limits.timeLimitMilliseconds, [&](const QByteArray &chunk) {
                 const std::optional<qint64> time = progress.take(chunk);
                 if (!time)
                     return;
                 written = time;
                 if (limits.onProgress && outputMicroseconds > 0)
                     limits.onProgress(std::clamp(*time / outputMicroseconds, 0.0, 1.0));
             }});
    // ffmpeg ends without complaint on a track without a single frame.
    if (!written || *written <= 0)
        fail(u"Die Tonspur enthält keinen Ton."_s);
    return encoding;
}
