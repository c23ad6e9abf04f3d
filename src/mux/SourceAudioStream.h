// Finds the stream ffmpeg is to read for a track mkvmerge named, and how it is encoded.
#pragma once

#include "AudioEncodingChoice.h"

#include <QByteArray>

#include <optional>

// ffmpeg counts a file's streams its own way: a track that mkvmerge leaves out (an AC-3 track
// without frames) is a stream to ffmpeg, so mkvmerge's n-th audio track need not be ffmpeg's.
// In Matroska both count every track entry, so mkvmerge's track id is ffmpeg's stream index
// unless ffmpeg skipped an entry itself; the stream at that index is taken only when its codec,
// channels and sample rate are what mkvmerge says of the track.
struct SourceAudioStream {
    int streamIndex = 0; // for ffmpeg's "-map 0:<index>" and ffprobe's "-select_streams"
    AudioSourceFormat format;
};

// From mkvmerge's identification (`--identify --identification-format json`) and ffprobe's
// streams (`-show_entries stream=index,codec_type,codec_name,channels,sample_rate,bit_rate:
// stream_tags -of json`) of the same file. Throws MuxError::conversionFailed with the reason
// where the two do not describe the same track.
SourceAudioStream matchAudioStream(const QByteArray &identification, const QByteArray &streams,
                                   qint64 trackID);

// Bits per second of the packets ffprobe lists with "-show_entries packet=size,duration_time
// -of compact=p=0"; absent when they give no duration.
std::optional<qint64> measuredBitRate(const QByteArray &packets);
