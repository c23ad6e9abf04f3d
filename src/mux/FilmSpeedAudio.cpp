// One German audio track slowed back to film speed and pitch, or spliced, with ffmpeg.
#include "FilmSpeedAudio.h"

#include "analysis/PalSpeedup.h"
#include "MuxError.h"
#include "SourceAudioStream.h"

#include <QFile>
#include <QFileInfo>
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

SourceAudioStream probe(const FilmSpeedRequest &request, const StopFlag *stop)
{
    const QString file = toolFileArgument(request.source);
    const ChildOutcome identification =
        runTool({request.mkvmerge,
                 {u"--identify"_s, u"--identification-format"_s, u"json"_s, file},
                 ChildOutput::separate,
                 stop,
                 probeTimeLimitMilliseconds});
    const ChildOutcome streams =
        runTool({request.ffprobe,
                 {u"-v"_s, u"error"_s, u"-show_entries"_s,
                  u"stream=index,codec_type,codec_name,channels,sample_rate,bit_rate:stream_tags"_s,
                  u"-of"_s, u"json"_s, file},
                 ChildOutput::separate,
                 stop,
                 probeTimeLimitMilliseconds});
    return matchAudioStream(identification.standardOutput, streams.standardOutput,
                            request.trackID);
}

// Where the file states no bit rate: the average of the first minutes' packets, rather than
// a rate the track never had.
std::optional<qint64> measureBitRate(const FilmSpeedRequest &request, int streamIndex,
                                     const StopFlag *stop)
{
    const ChildOutcome packets =
        runTool({request.ffprobe,
                 {u"-v"_s, u"error"_s, u"-select_streams"_s, QString::number(streamIndex),
                  u"-read_intervals"_s, u"%+300"_s, u"-show_entries"_s,
                  u"packet=size,duration_time"_s, u"-of"_s, u"compact=p=0"_s,
                  toolFileArgument(request.source)},
                 ChildOutput::separate,
                 stop,
                 probeTimeLimitMilliseconds});
    return measuredBitRate(packets.standardOutput);
}

// Reading the samples as if recorded at rate × 960 and resampling them to rate × 1001 slows
// them by exactly 960/1001 with integer rates; the rate is then the source's again. Cutting
// the encoder's priming from the start keeps the track in sync.
// A dub already at the film's pitch is slowed by Rubber Band rather than atempo: on speech and
// music both come back equally close to the original, but Rubber Band keeps onsets within
// 10 ms where atempo moves them up to 13 ms early. `channels=together` keeps a surround image.
// The filter keeps back its last, unfinished block at the end of the input; a second of
// silence carries the dub's end through, and is then cut to the slowed length.
QString filmSpeedFilter(int sampleRate, const AudioEncoding &encoding, const FilmSpeedRequest &request)
{
    const qint64 rate = sampleRate;
    QStringList filters;
    if (request.toFilmSpeed && request.keepPitch) {
        const double perFile = request.germanPerFile;
        const double inputSeconds =
            request.splices ? request.splices->splicedEnd(request.sourceSeconds * perFile) / perFile
                            : request.sourceSeconds;
        filters << u"apad=pad_dur=1,rubberband=tempo=%1:channels=together,atrim=end=%2"_s
                       .arg(960.0 / 1001.0, 0, 'f', 12)
                       .arg(inputSeconds * 1001 / 960, 0, 'f', 6);
    } else if (request.toFilmSpeed)
        filters << u"asetrate=%1,aresample=%2,asetrate=%3"_s.arg(rate * 960).arg(rate * 1001).arg(
            rate);
    if (encoding.primingSamples > 0)
        filters << u"atrim=start_sample=%1"_s.arg(encoding.primingSamples);
    return filters.join(u',');
}

QStringList ffmpegArguments(const FilmSpeedRequest &request, const SourceAudioStream &stream,
                            const AudioEncoding &encoding)
{
    QStringList arguments{u"-nostdin"_s, u"-hide_banner"_s, u"-loglevel"_s, u"error"_s,
                          u"-nostats"_s, u"-progress"_s,    u"pipe:1"_s};
    const QString filter =
        filmSpeedFilter(stream.format.sampleRate, encoding, request);
    if (request.splices) {
        arguments << splicingArguments(request, stream.streamIndex, filter);
    } else {
        arguments << u"-i"_s << toolFileArgument(request.source) << u"-map"_s
                  << u"0:%1"_s.arg(stream.streamIndex);
        if (!filter.isEmpty())
            arguments << u"-af"_s << filter;
    }
    arguments << u"-map_metadata"_s << u"-1"_s << u"-map_chapters"_s << u"-1"_s << u"-c:a"_s
              << encoding.encoder;
    if (encoding.kilobitsPerSecond)
        arguments << u"-b:a"_s << u"%1k"_s.arg(*encoding.kilobitsPerSecond);
    // -n: the name is new, so a file already there is none of ours.
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

// Seconds with the precision of a sample at any rate, for ffmpeg's options.
QString secondsArgument(double seconds)
{
    return QString::number(std::max(seconds, 0.0), 'f', 6);
}

} // namespace

QStringList splicingArguments(const FilmSpeedRequest &request, int streamIndex,
                              const QString &tail)
{
    // The pieces between the splices, in the file's time. Each piece is an input of its own,
    // read from where it starts: one filter reading the whole track for every piece would
    // hold all later pieces in memory until the earlier ones are written.
    constexpr double fadeSeconds = 0.01;
    const QList<Splice> &splices = request.splices->splices;
    const double perFile = request.germanPerFile;
    QStringList inputs, chains, labels;
    double start = 0;
    for (qsizetype i = 0; i <= splices.size(); ++i) {
        const bool last = i == splices.size();
        QStringList filters;
        if (start > 0)
            inputs << u"-ss"_s << secondsArgument(start);
        if (!last) {
            const double length = splices.at(i).germanSeconds / perFile - start;
            // A second to spare: the exact end is the filter's.
            inputs << u"-t"_s << secondsArgument(length + 1);
            filters << u"atrim=duration=%1"_s.arg(secondsArgument(length));
        }
        filters << u"asetpts=PTS-STARTPTS"_s;
        if (i > 0)
            filters << u"afade=t=in:d=%1"_s.arg(fadeSeconds);
        if (!last) {
            const double length = splices.at(i).germanSeconds / perFile - start;
            filters << u"afade=t=out:st=%1:d=%2"_s.arg(secondsArgument(length - fadeSeconds))
                           .arg(fadeSeconds);
            const double silence = -splices.at(i).extraSeconds / perFile;
            if (silence > 0)
                filters << u"apad=pad_dur=%1"_s.arg(secondsArgument(silence));
            start = (splices.at(i).germanSeconds + std::max(splices.at(i).extraSeconds, 0.0)) /
                    perFile;
        }
        inputs << u"-i"_s << toolFileArgument(request.source);
        labels << u"[p%1]"_s.arg(i);
        chains << u"[%1:%2]"_s.arg(i).arg(streamIndex) + filters.join(u',') + labels.last();
    }
    QString joined = labels.join(QString()) + u"concat=n=%1:v=0:a=1"_s.arg(labels.size());
    if (!tail.isEmpty())
        joined += u',' + tail;
    chains << joined + u"[out]"_s;
    return inputs + QStringList{u"-filter_complex"_s, chains.join(u';'), u"-map"_s, u"[out]"_s};
}

int filmSpeedTimeLimitMilliseconds(double sourceSeconds)
{
    return int(std::min(60000.0 + std::max(sourceSeconds, 0.0) * 500.0, double(INT_MAX)));
}

SourceAudioStream readConversionSource(const FilmSpeedRequest &request, const StopFlag *stop)
{
    SourceAudioStream stream = probe(request, stop);
    AudioSourceFormat &source = stream.format;
    if (source.sampleRate <= 0)
        fail(u"ffprobe nennt keine Abtastrate der Tonspur."_s);
    // FLAC, the last resort, holds at most 8.
    if (source.channels > 8)
        fail(u"Die Tonspur hat %1 Kanäle; mehr als 8 lassen sich nicht umrechnen."_s.arg(
            source.channels));
    if (!source.bitRate && chooseAudioEncoding(source).kilobitsPerSecond)
        source.bitRate = measureBitRate(request, stream.streamIndex, stop);
    return stream;
}

AudioEncoding convertToFilmSpeed(const FilmSpeedRequest &request, const FilmSpeedLimits &limits)
{
    const SourceAudioStream stream = readConversionSource(request, limits.stop);
    AudioEncoding encoding = chooseAudioEncoding(stream.format);

    const double outputMicroseconds =
        request.sourceSeconds * (request.toFilmSpeed ? palTimingFactor : 1.0) * 1e6;
    ProgressLines progress;
    std::optional<qint64> written;
    const auto convert = [&] {
        runTool({request.ffmpeg, ffmpegArguments(request, stream, encoding),
                 ChildOutput::separate, limits.stop, limits.timeLimitMilliseconds,
                 [&](const QByteArray &chunk) {
                     const std::optional<qint64> time = progress.take(chunk);
                     if (!time)
                         return;
                     written = time;
                     if (limits.onProgress && outputMicroseconds > 0)
                         limits.onProgress(std::clamp(*time / outputMicroseconds, 0.0, 1.0));
                 }});
    };
    try {
        convert();
    } catch (const MuxError &error) {
        // An encoder that refuses the source's rate, channels or bit rate fails before the
        // first sample; FLAC takes what the source has.
        if (error.kind() != MuxError::Kind::conversionFailed || written ||
            !encoding.kilobitsPerSecond)
            throw;
        QFile::remove(request.outputPath);
        encoding = flacInsteadOf(encoding);
        convert();
    }
    // ffmpeg ends without complaint on a track without a single frame.
    if (!written || *written <= 0)
        fail(u"Die Tonspur enthält keinen Ton."_s);
    return encoding;
}
