// Releases whose soundtracks carry loud markers, and where the markers sound in a file.
#pragma once

#include "support/SyncMedia.h"
#include "tools/ChildProcess.h"

#include <QRegularExpression>

#include <cmath>

// `seconds` of one language's soundtrack of `family`, turned down so that a full-scale burst
// of 50 ms at each of `markers` (film seconds) is all that rises above 0.6.
inline std::vector<float> markedSoundtrack(SoundFamily family, Language language, double seconds,
                                           const QList<double> &markers)
{
    std::vector<float> samples = makeSoundtrack(family, language, 7, seconds);
    for (float &sample : samples)
        sample *= 0.2f;
    for (const double marker : markers)
        std::fill_n(samples.begin() + qsizetype(marker * soundtrackRate), soundtrackRate / 20,
                    1.0f);
    return samples;
}

// When each marker sounds in audio track `index` of `file`: where ffmpeg's silence detection,
// which times each sample by its frame's timestamp as a player does, finds sound above 0.6
// after a quiet second and falls again (the end of the stream ends a silence too). Not the
// program's own measurement.
inline QList<double> markerTimes(const QString &file, int index)
{
    const ChildOutcome outcome = runChild(
        {QStringLiteral("/usr/bin/ffmpeg"),
         QStringLiteral("-nostdin -i %1 -map 0:a:%2 -af silencedetect=n=0.6:d=1 -f null -")
             .arg(file)
             .arg(index)
             .split(u' '),
         ChildOutput::merged});
    static const QRegularExpression edge(QStringLiteral("silence_(start|end): ([0-9.]+)"));
    QList<double> times;
    std::optional<double> rise;
    for (const QRegularExpressionMatch &match :
         edge.globalMatch(QString::fromUtf8(outcome.standardOutput))) {
        if (match.captured(1) == u"end")
            rise = match.captured(2).toDouble();
        else if (rise)
            times << *std::exchange(rise, std::nullopt);
    }
    return times;
}

// The English release of folder 1: a tiny video and the soundtrack as it is.
inline QString writeEnglishRelease(const QString &path, const std::vector<float> &soundtrack,
                                   double seconds)
{
    return writeRelease(path, soundtrack, {}, seconds,
                        QStringLiteral("-f lavfi -i color=c=black:s=64x36:r=25:d=%1 -map 1:v "
                                       "-c:v mpeg4 -map 0:a -c:a flac -metadata:s:a:0 "
                                       "language=eng")
                            .arg(seconds)
                            .split(u' '));
}

// Where the German markers of `file` (audio track 0) stray more than 0.05 s from the English
// ones (track 1), or do not number `count`; empty when they line up.
inline QString markerMisalignment(const QString &file, qsizetype count)
{
    const QList<double> english = markerTimes(file, 1);
    const QList<double> german = markerTimes(file, 0);
    if (english.size() != count || german.size() != count)
        return QStringLiteral("%1 English and %2 German markers, %3 expected")
            .arg(english.size())
            .arg(german.size())
            .arg(count);
    for (qsizetype i = 0; i < count; ++i) {
        if (std::abs(german.at(i) - english.at(i)) > 0.05)
            return QStringLiteral("marker %1: German %2 s, English %3 s")
                .arg(i + 1)
                .arg(german.at(i))
                .arg(english.at(i));
    }
    return {};
}
