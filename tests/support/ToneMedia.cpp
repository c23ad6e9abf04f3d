// Making and measuring the test tones with ffmpeg.
#include "ToneMedia.h"

#include "tools/ChildProcess.h"

#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ffmpeg = u"/usr/bin/ffmpeg"_s;

} // namespace

QByteArray runOrFail(const QString &program, const QString &arguments)
{
    const ChildOutcome outcome = runChild({program, arguments.split(u' ')});
    if (!outcome.succeeded())
        qFatal("%s failed: %s", qPrintable(program), outcome.standardError.constData());
    return outcome.standardOutput.trimmed();
}

void makeToneFile(const QString &path, double seconds, double toneStart, double frequency,
                  const QString &encoding, const QString &layout, int rate, const QString &language)
{
    runOrFail(ffmpeg,
              u"-v error -f lavfi -i color=s=64x36:r=25:d=%1 -f lavfi -i sine=f=%2:r=%3:d=%1,"
              u"volume=enable='lt(t,%4)':volume=0,aformat=channel_layouts=%5 -map 0:v "
              u"-map 1:a -c:v mpeg4 -metadata:s:a:0 language=%6 -c:a %7 %8"_s.arg(seconds)
                  .arg(frequency, 0, 'f', 3)
                  .arg(rate)
                  .arg(toneStart)
                  .arg(layout, language, encoding, path));
}

Tone measureTone(const QString &file, const QString &stream, double from)
{
    const QString log = QString::fromUtf8(
        runChild(
            {ffmpeg, u"-hide_banner -nostats -i %1 -map %2 -af "
                     u"aformat=channel_layouts=mono,aresample=48000,"
                     u"silencedetect=n=-50dB:d=0.1,atrim=start=%3:duration=1,astats -f null -"_s
                         .arg(file, stream)
                         .arg(from)
                         .split(u' ')})
            .standardError);
    static const QRegularExpression onset(u"silence_end: ([0-9.]+)"_s);
    static const QRegularExpression crossingsPerSample(u"Zero crossings rate: ([0-9.]+)"_s);
    return {onset.match(log).captured(1).toDouble(),
            crossingsPerSample.match(log).captured(1).toDouble() * 48000 / 2};
}
