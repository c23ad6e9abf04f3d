// Test tones made and measured with ffmpeg, for the film-speed conversion's tests.
#pragma once

#include <QByteArray>
#include <QString>

inline constexpr double filmTone = 1000.0; // Hz; PAL plays it at filmTone × 1001/960

// Runs `program` with `arguments` (split at spaces); its trimmed standard output. Ends the test
// program when the tool fails.
QByteArray runOrFail(const QString &program, const QString &arguments);

// Tiny video and one audio track of `seconds`, silent until `toneStart`, then a tone; the
// audio encoded with `encoding` (ffmpeg's options) in `layout` at `rate`.
void makeToneFile(const QString &path, double seconds, double toneStart, double frequency,
                  const QString &encoding, const QString &layout = QStringLiteral("stereo"),
                  int rate = 48000, const QString &language = QStringLiteral("ger"));

struct Tone {
    double onset = 0; // seconds
    double frequency = 0;
};

// Mixed to mono and measured by ffmpeg's own filters: when the tone begins, and its frequency
// from the zero crossings per sample in the second from `from` on.
Tone measureTone(const QString &file, const QString &stream, double from);
