// Decoding a stretch of audio to mono PCM with ffmpeg.
#include "AudioDecoding.h"

#include <QtEndian>

using namespace Qt::Literals::StringLiterals;

namespace {

QStringList ffmpegArguments(const PcmRequest &request)
{
    // -ss before -i seeks in the input instead of decoding everything before the start. A seek
    // onto a video key frame can begin with the first audio packet after the start, and raw
    // samples carry no time: aresample pads such a gap (and any later one) with silence by the
    // timestamps, so sample n always lies n / syncSampleRate after the start. It pads from 2 ms
    // on, not only from its default 100 ms: a track stretched by its timestamps (a muxed PAL
    // dub) leaves a small gap after every frame, and the default lets them add up to a lag that
    // saws back and forth by a tenth of a second.
    return {u"-nostdin"_s,  u"-hide_banner"_s,
            u"-loglevel"_s, u"error"_s,
            u"-ss"_s,       QString::number(request.startSeconds, 'f', 6),
            u"-t"_s,        QString::number(request.lengthSeconds, 'f', 6),
            u"-i"_s,        toolFileArgument(request.file),
            u"-map"_s,      u"0:a:%1"_s.arg(request.audioIndex),
            u"-af"_s,       u"aresample=async=1:min_hard_comp=0.002:first_pts=0"_s,
            u"-ac"_s,       u"1"_s,
            u"-ar"_s,       QString::number(syncSampleRate),
            u"-f"_s,        u"s16le"_s,
            u"-"_s};
}

std::vector<std::int16_t> samplesOf(const QByteArray &pcm)
{
    // s16le: a trailing odd byte is the rest of a sample cut short.
    std::vector<std::int16_t> samples(pcm.size() / 2);
    qFromLittleEndian<qint16>(pcm.constData(), qsizetype(samples.size()), samples.data());
    return samples;
}

} // namespace

std::optional<std::vector<std::int16_t>>
decodeMonoPcm(const QString &ffmpeg, const PcmRequest &request, const DecodeLimits &limits)
{
    // Nothing reads ffmpeg's messages, so they go nowhere rather than into a pipe that could
    // fill up.
    const ChildOutcome outcome =
        runChild({ffmpeg, ffmpegArguments(request), ChildOutput::standardOutputOnly, limits.stop,
                  limits.timeoutMilliseconds});
    if (!outcome.succeeded() || outcome.standardOutput.size() < 2)
        return std::nullopt;
    return samplesOf(outcome.standardOutput);
}
