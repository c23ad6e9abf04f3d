// How a German audio track is encoded again after its conversion to film speed.
#include "AudioEncodingChoice.h"

#include <QList>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

struct LossyEncoder {
    QString codec; // ffprobe's name of the source codec
    QString encoder;
    QString displayName;
    int maximumChannels;
    QList<int> sampleRates; // empty: any
    int primingSamples;
};

// The limits are ffmpeg's: beyond them its encoders mix down or resample without a word.
const QList<LossyEncoder> &lossyEncoders()
{
    static const QList<int> dolbyRates{48000, 44100, 32000};
    static const QList<LossyEncoder> encoders{
        {u"ac3"_s, u"ac3"_s, u"AC-3"_s, 6, dolbyRates, 256},
        {u"eac3"_s, u"eac3"_s, u"E-AC-3"_s, 6, dolbyRates, 256},
        {u"aac"_s,
         u"aac"_s,
         u"AAC"_s,
         8,
         {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350},
         1024},
        {u"mp2"_s, u"mp2"_s, u"MP2"_s, 2, {48000, 44100, 32000, 24000, 22050, 16000}, 481},
        // Opus and Vorbis record their own priming in the file.
        {u"opus"_s, u"libopus"_s, u"Opus"_s, 8, {48000, 24000, 16000, 12000, 8000}, 0},
        {u"vorbis"_s, u"libvorbis"_s, u"Vorbis"_s, 8, {}, 0},
    };
    return encoders;
}

bool takesAsItIs(const LossyEncoder &encoder, const AudioSourceFormat &source)
{
    return source.channels >= 1 && source.channels <= encoder.maximumChannels &&
           (encoder.sampleRates.isEmpty() || encoder.sampleRates.contains(source.sampleRate));
}

// Where neither the file states a rate nor its packets give one: what such tracks commonly
// carry.
int defaultKilobitsPerSecond(int channels)
{
    return channels > 2 ? 448 : 192;
}

} // namespace

QString AudioEncoding::description() const
{
    if (!refusedBy.isEmpty())
        return u"%1, da der %2-Encoder die Spur ablehnt"_s.arg(displayName, refusedBy);
    if (!kilobitsPerSecond)
        return displayName;
    return u"%1, %2 kbit/s"_s.arg(displayName).arg(*kilobitsPerSecond);
}

AudioEncoding chooseAudioEncoding(const AudioSourceFormat &source)
{
    const QList<LossyEncoder> &encoders = lossyEncoders();
    const auto found = std::find_if(encoders.cbegin(), encoders.cend(), [&](const auto &encoder) {
        return encoder.codec == source.codec && takesAsItIs(encoder, source);
    });
    if (found == encoders.cend())
        return {u"flac"_s, u"FLAC"_s, std::nullopt, 0, {}};
    const int kilobits = source.bitRate && *source.bitRate > 0
                             ? int(std::lround(*source.bitRate / 1000.0))
                             : defaultKilobitsPerSecond(source.channels);
    return {found->encoder, found->displayName, kilobits, found->primingSamples, {}};
}

AudioEncoding flacInsteadOf(const AudioEncoding &refused)
{
    return {u"flac"_s, u"FLAC"_s, std::nullopt, 0, refused.displayName};
}
