#include "TestMedia.h"

#include "inspect/ChildProcess.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ffmpegPath = u"/usr/bin/ffmpeg"_s;
const QString mkvmergePath = u"/usr/bin/mkvmerge"_s;

// The encoded pieces each file is remuxed from.
struct EncodedStreams {
    QString video; // Matroska, 64x36 at 25 fps
    QString audio; // raw AC-3, so one file can be added several times without UID clashes
    QString subtitles;
};

// Encoding takes far longer than remuxing, so each duration is encoded once per process.
struct StreamCache {
    QMutex mutex;
    QTemporaryDir dir;
    QHash<qint64, EncodedStreams> byMilliseconds;
};

StreamCache &streamCache()
{
    static StreamCache cache;
    return cache;
}

QStringList words(const QString &text)
{
    return text.split(u' ');
}

QString srtTime(qint64 milliseconds)
{
    return u"%1:%2:%3,%4"_s.arg(milliseconds / 3'600'000, 2, 10, QLatin1Char('0'))
        .arg(milliseconds / 60'000 % 60, 2, 10, QLatin1Char('0'))
        .arg(milliseconds / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(milliseconds % 1000, 3, 10, QLatin1Char('0'));
}

bool writeSubRip(const QString &path, const QString &text, qint64 endMilliseconds)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray cue =
        u"1\n%1 --> %2\n%3\n\n"_s.arg(srtTime(0), srtTime(endMilliseconds), text).toUtf8();
    return file.write(cue) == cue.size() && file.flush();
}

bool succeeded(const ChildOutcome &outcome)
{
    return outcome.started && !outcome.crashed && outcome.exitCode == 0;
}

QString failureText(const QString &tool, const ChildOutcome &outcome)
{
    if (!outcome.started || outcome.crashed)
        return tool + u": "_s + outcome.errorString;
    return tool + u" exited with %1: "_s.arg(outcome.exitCode) +
           QString::fromUtf8(outcome.standardOutput + outcome.standardError).trimmed();
}

// Fills `streams` for the duration; returns an error text or an empty one.
QString encodedStreams(qint64 milliseconds, EncodedStreams &streams)
{
    StreamCache &cache = streamCache();
    if (const auto found = cache.byMilliseconds.constFind(milliseconds);
        found != cache.byMilliseconds.cend()) {
        streams = *found;
        return {};
    }
    if (!cache.dir.isValid())
        return u"no temporary folder: "_s + cache.dir.errorString();

    const QString stem = cache.dir.filePath(QString::number(milliseconds));
    const EncodedStreams made{stem + u"-video.mkv"_s, stem + u"-audio.ac3"_s,
                              stem + u"-subtitles.srt"_s};
    const QString seconds = QString::number(milliseconds / 1000.0, 'f', 3);
    // 25 fps and 32 ms AC-3 frames keep the muxed length within 0.04 s of the wanted one.
    QStringList arguments = words(u"-nostdin -hide_banner -loglevel error -y -f lavfi -i"_s);
    arguments << u"color=c=black:s=64x36:r=25:d="_s + seconds
              << words(u"-f lavfi -i anullsrc=r=48000:cl=mono -map 0:v -c:v mpeg4 -q:v 31 "
                       u"-map_metadata -1 -fflags +bitexact"_s)
              << made.video << words(u"-map 1:a -t"_s) << seconds << words(u"-c:a ac3 -b:a 32k"_s)
              << made.audio;
    const ChildOutcome outcome = runChild(ffmpegPath, arguments);

    QString error;
    if (!succeeded(outcome))
        error = failureText(ffmpegPath, outcome);
    else if (!writeSubRip(made.subtitles, u"Hallo"_s, qMin<qint64>(milliseconds, 1000)))
        error = u"cannot write "_s + made.subtitles;
    if (!error.isEmpty()) {
        for (const QString &file : {made.video, made.audio, made.subtitles})
            QFile::remove(file);
        return error;
    }
    cache.byMilliseconds.insert(milliseconds, made);
    streams = made;
    return {};
}

void appendTrack(QStringList &arguments, const TestTrack &track, const QString &source)
{
    if (track.language)
        arguments << u"--language"_s << u"0:"_s + *track.language;
    if (track.name)
        arguments << u"--track-name"_s << u"0:"_s + *track.name;
    // Always explicit: mkvmerge would otherwise mark every subtitle track as default.
    arguments << u"--default-track-flag"_s << (track.defaultTrack ? u"0:yes"_s : u"0:no"_s)
              << u"--forced-display-flag"_s << (track.forcedTrack ? u"0:yes"_s : u"0:no"_s)
              << source;
}

} // namespace

QString makeTestMatroska(const QString &path, const TestMediaLayout &layout)
{
    if (!(layout.durationSeconds > 0))
        return u"the duration must be positive"_s;

    EncodedStreams streams;
    {
        QMutexLocker lock(&streamCache().mutex);
        const QString error = encodedStreams(qRound64(layout.durationSeconds * 1000), streams);
        if (!error.isEmpty())
            return error;
    }

    QStringList arguments{u"--quiet"_s, u"--output"_s, path};
    arguments << words(u"--no-global-tags --no-track-tags --default-track-flag 0:yes"_s)
              << streams.video;
    for (const TestTrack &track : layout.audio)
        appendTrack(arguments, track, streams.audio);
    for (const TestTrack &track : layout.subtitles)
        appendTrack(arguments, track, streams.subtitles);

    const ChildOutcome outcome = runChild(mkvmergePath, arguments);
    if (!succeeded(outcome)) {
        QFile::remove(path);
        return failureText(mkvmergePath, outcome);
    }
    return {};
}

bool writeTestSubtitle(const QString &path, const QString &text)
{
    return writeSubRip(path, text, 1000);
}
