// How a German audio track is encoded again after its conversion to film speed.
#pragma once

#include <QString>

#include <optional>

// What decides how a source audio track is encoded again.
struct AudioSourceFormat {
    QString codec; // as ffprobe names it: "ac3", "eac3", "dts", …
    int channels = 0;
    int sampleRate = 0;
    std::optional<qint64> bitRate; // bits per second, where the file states one
};

// How a converted track is encoded.
struct AudioEncoding {
    QString encoder;                      // ffmpeg's encoder: "ac3", "libopus", "flac", …
    QString displayName;                  // "AC-3", "FLAC", …
    std::optional<int> kilobitsPerSecond; // absent for FLAC, which is lossless
    // The samples of silence the encoder puts before the first one; ffmpeg's Matroska output
    // keeps them, so the audio would sound that much late.
    int primingSamples = 0;
    QString refusedBy; // the display name of the encoder that refused the track, for FLAC

    // "AC-3, 448 kbit/s", "FLAC", or "FLAC, da der Vorbis-Encoder die Spur ablehnt".
    QString description() const;

    friend bool operator==(const AudioEncoding &, const AudioEncoding &) = default;
};

// The source's own codec where ffmpeg has a sound encoder for it that takes the source's
// channels and sample rate as they are, at the source's bit rate where one is known; FLAC
// for everything else (DTS, TrueHD, MP3, PCM, layouts the encoder would mix down).
AudioEncoding chooseAudioEncoding(const AudioSourceFormat &source);

// FLAC in place of `refused`, whose encoder would not take the track.
AudioEncoding flacInsteadOf(const AudioEncoding &refused);
