// Generated soundtracks for the audio sync check.
#pragma once

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// Both languages share a bed of music and effects, and each has dialogue of its own. A
// soundtrack is made in film time, then written as a release that plays it with its own timing.

enum class SoundFamily {
    effects, // tones and noise bursts at irregular times, under syllable-like dialogue
    speech,  // espeak-ng speech over a quieter effects bed
    music,   // sustained notes with sparse effects, under syllable-like dialogue
};

const std::pair<SoundFamily, const char *> soundFamilies[] = {{SoundFamily::effects, "effects"},
                                                              {SoundFamily::speech, "speech"},
                                                              {SoundFamily::music, "music"}};

enum class Language { english, german };

inline constexpr int soundtrackRate = 8000;

// `seconds` of one language's soundtrack, at soundtrackRate. The same `seed` and length give
// both languages the same bed; another seed gives unrelated audio. `roomTone` adds a quiet
// rumble at that level under the whole bed, as a film's sound has between its events; without
// it, the bed is digitally silent between them. Empty when espeak-ng fails.
std::vector<float> makeSoundtrack(SoundFamily family, Language language, unsigned seed,
                                  double seconds, float roomTone = 0);

// How a release plays the film's soundtrack.
struct ReleaseTiming {
    double stretch = 1;      // film seconds per second of the file: 1001/960 at PAL speed
    double lateSeconds = 0;  // every event sounds this much later than in the film
    double cutAt = 0;        // film time from which `extraSeconds` of other material
    double extraSeconds = 0; // (silence here) delay the rest
};

// Writes `soundtrack` as played by `timing`, `fileSeconds` long, into a file whose name says its
// format. `encoding` holds ffmpeg's options after the sound's input: codecs, or further inputs
// (a video) with their maps. Returns an empty text on success, else what went wrong.
QString writeRelease(const QString &path, const std::vector<float> &soundtrack,
                     const ReleaseTiming &timing, double fileSeconds,
                     const QStringList &encoding = {QStringLiteral("-c:a"),
                                                    QStringLiteral("flac")});

// A place where a release differs from the film's cut: from film time `atSeconds` on it plays
// `seconds` of other material first (positive), or skips that much of the film (negative).
struct ReleaseEdit {
    double atSeconds = 0;
    double seconds = 0;
};

// writeRelease for a release with several edits, in film time order; its other material is the
// film's sound 37.3 s later (silence past its end), so nothing but the timing tells it apart.
QString
writeEditedRelease(const QString &path, const std::vector<float> &soundtrack, double stretch,
                   double lateSeconds, const QList<ReleaseEdit> &edits, double fileSeconds,
                   const QStringList &encoding = {QStringLiteral("-c:a"), QStringLiteral("flac")});
