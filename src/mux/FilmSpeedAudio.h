// One German audio track slowed back to film speed and pitch, or spliced, with ffmpeg.
#pragma once

#include "AudioEncodingChoice.h"
#include "CutRepair.h"
#include "SourceAudioStream.h"
#include "tools/ChildProcess.h"

#include <QString>
#include <QUrl>

#include <functional>

// One German audio track of a PAL release, slowed back to film speed with ffmpeg: its
// samples are read as if recorded at rate × 960/1001 and resampled to the rate, so the pitch
// falls with the speed, exactly undoing the PAL speed-up. A dub already at the film's pitch
// is slowed in tempo only.
struct FilmSpeedRequest {
    QString ffmpeg;
    QString ffprobe;
    QString mkvmerge; // whose track ids `trackID` counts in
    QUrl source;
    qint64 trackID = 0;       // mkvmerge's
    QString outputPath;       // a new Matroska audio file, which the caller removes
    double sourceSeconds = 0; // the source's running time, for the progress
    bool toFilmSpeed = true;  // slowed by 960/1001; else only spliced
    // Spliced on the way, with short fades at each splice; the German film time of the map
    // is the file's time × `germanPerFile`.
    std::optional<SpliceMap> splices;
    double germanPerFile = 1;
    // With `toFilmSpeed`: the tempo only is slowed, for a dub already at the film's pitch.
    bool keepPitch = false;
};

struct FilmSpeedLimits {
    int timeLimitMilliseconds = 0;
    const StopFlag *stop = nullptr;
    std::function<void(double fraction)> onProgress; // on the running thread
};

// A limit no working conversion reaches, so that only a hanging ffmpeg runs into it: half
// the track's running time, and a minute to start.
int filmSpeedTimeLimitMilliseconds(double sourceSeconds);

// ffmpeg's options between its input options and the encoder for the spliced track of
// `request`, whose stream is `streamIndex`: one input per piece, and the filter that fades
// the pieces, puts silence where the German release lacks material and joins them, then
// applies `tail` (the film-speed filter, the trim of the encoder's priming; may be empty).
QStringList splicingArguments(const FilmSpeedRequest &request, int streamIndex,
                              const QString &tail);

// The stream of the track to convert and its format as the conversion reads them, with the bit
// rate measured from the first minutes' packets where the file states none; chooseAudioEncoding()
// of its format is the encoding the conversion starts with. Needs `ffprobe`, `mkvmerge`,
// `source` and `trackID` of `request`. Throws MuxError::conversionFailed with the reason where
// the track cannot be converted, or MuxError::cancelled when `stop` ended it.
SourceAudioStream readConversionSource(const FilmSpeedRequest &request, const StopFlag *stop);

// Writes the converted track to `outputPath` and returns how it was encoded: as FLAC where
// the source's own encoder refuses the source's parameters. Throws
// MuxError::conversionFailed with the reason (ffmpeg's last line of error output where it
// gave one), or MuxError::cancelled when `stop` ended it.
AudioEncoding convertToFilmSpeed(const FilmSpeedRequest &request, const FilmSpeedLimits &limits);
