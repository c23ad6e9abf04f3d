// Generated PAL releases whose dub was sped up at the film's pitch, for the pitch comparison.
#include "PitchMedia.h"

#include "analysis/PalSpeedup.h"
#include "tools/ChildProcess.h"

#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

QString writePalRelease(const QString &path, const std::vector<float> &soundtrack, PalKind kind,
                        double lateSeconds, double fileSeconds, const QStringList &encoding,
                        const QString &tempoFilter)
{
    if (kind == PalKind::raised)
        return writeRelease(path, soundtrack, {palTimingFactor, lateSeconds}, fileSeconds,
                            encoding);
    // Played at film speed first, then quickened: a little longer, so that the end is whole.
    const QTemporaryDir dir;
    const QString film = dir.filePath(u"film.wav"_s);
    const QString failure =
        writeRelease(film, soundtrack, {1, lateSeconds}, fileSeconds * palTimingFactor + 1,
                     {u"-c:a"_s, u"pcm_s16le"_s});
    if (!failure.isEmpty())
        return failure;
    const ChildOutcome written = runChild(
        {u"/usr/bin/ffmpeg"_s,
         QStringList{
             u"-nostdin"_s, u"-loglevel"_s, u"error"_s, u"-y"_s, u"-i"_s, film, u"-af"_s,
             u"%1=%2"_s.arg(tempoFilter == u"rubberband"_s ? u"rubberband=tempo"_s : tempoFilter)
                 .arg(palTimingFactor, 0, 'f', 12),
             u"-t"_s, QString::number(fileSeconds, 'f', 6)}
             << encoding << path});
    return written.succeeded() ? QString() : u"ffmpeg could not quicken "_s + path;
}
