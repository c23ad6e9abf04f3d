// Making small Matroska files and subtitle files for tests.
#include "TestMedia.h"

#include "tools/ChildProcess.h"

#include <QFile>
#include <QMutex>
#include <QSet>
#include <QTemporaryDir>
#include <QTime>

using namespace Qt::Literals::StringLiterals;

namespace {

bool writeSubRip(const QString &path, const QString &text, qint64 endMilliseconds)
{
    QFile file(path);
    const QString end = QTime(0, 0).addMSecs(endMilliseconds).toString(u"hh:mm:ss,zzz");
    const QByteArray cue = u"1\n00:00:00,000 --> %1\n%2\n\n"_s.arg(end, text).toUtf8();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(cue) == cue.size() &&
           file.flush();
}

// Runs `program`; returns an empty text on success, else what went wrong.
QString run(const QString &program, const QStringList &arguments)
{
    const ChildOutcome outcome = runChild({program, arguments, ChildOutput::merged});
    return outcome.succeeded() ? QString() : outcome.exitMessage();
}

} // namespace

QString makeTestMatroska(const QString &path, const TestMediaLayout &layout)
{
    if (!(layout.durationSeconds > 0))
        return u"the duration must be positive"_s;

    // Encoding takes far longer than remuxing, so each duration is encoded once per process:
    // a 64x36 video at 25 fps, raw AC-3 audio (so one file can be added several times without
    // UID clashes) and a SubRip cue. 25 fps and 32 ms AC-3 frames keep the muxed length
    // within 0.04 s of the wanted one.
    static QMutex mutex;
    static QTemporaryDir dir;
    static QSet<qint64> encoded;
    QMutexLocker lock(&mutex);
    if (!dir.isValid())
        return u"no temporary folder: "_s + dir.errorString();
    const qint64 milliseconds = qRound64(layout.durationSeconds * 1000);
    const QString stem = dir.filePath(QString::number(milliseconds));
    const QString video = stem + u"-video.mkv"_s, audio = stem + u"-audio.ac3"_s,
                  subtitles = stem + u"-subtitles.srt"_s;
    if (!encoded.contains(milliseconds)) {
        const QString seconds = QString::number(milliseconds / 1000.0, 'f', 3);
        QStringList ffmpeg =
            u"-nostdin -hide_banner -loglevel error -y -f lavfi -i color=c=black:s=64x36:r=25:d=%1 "
            u"-f lavfi -i anullsrc=r=48000:cl=mono -map 0:v -c:v mpeg4 -q:v 31 -map_metadata -1 "
            u"-fflags +bitexact"_s.arg(seconds)
                .split(u' ');
        ffmpeg << video << u"-map 1:a -t %1 -c:a ac3 -b:a 32k"_s.arg(seconds).split(u' ') << audio;
        if (const QString error = run(u"/usr/bin/ffmpeg"_s, ffmpeg); !error.isEmpty())
            return error;
        if (!writeSubRip(subtitles, u"Hallo"_s, qMin<qint64>(milliseconds, 1000)))
            return u"cannot write "_s + subtitles;
        encoded.insert(milliseconds);
    }

    QStringList arguments{u"--quiet"_s, u"--output"_s, path};
    arguments << u"--no-global-tags --no-track-tags --default-track-flag 0:yes"_s.split(u' ')
              << video;
    for (const auto &[tracks, source] :
         {std::pair(layout.audio, audio), std::pair(layout.subtitles, subtitles)}) {
        for (const TestTrack &track : tracks) {
            if (track.language)
                arguments << u"--language"_s << u"0:"_s + *track.language;
            if (track.name)
                arguments << u"--track-name"_s << u"0:"_s + *track.name;
            // Always explicit: mkvmerge would otherwise mark every subtitle track as default.
            arguments << u"--default-track-flag"_s << (track.defaultTrack ? u"0:yes"_s : u"0:no"_s)
                      << u"--forced-display-flag"_s << (track.forcedTrack ? u"0:yes"_s : u"0:no"_s)
                      << source;
        }
    }
    const QString error = run(u"/usr/bin/mkvmerge"_s, arguments);
    if (!error.isEmpty())
        QFile::remove(path);
    return error;
}

QString writeTestFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(contents) != contents.size() || !file.flush())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

bool writeTestSubtitle(const QString &path, const QString &text)
{
    return writeSubRip(path, text, 1000);
}
