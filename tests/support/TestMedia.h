// Small Matroska files made at run time with ffmpeg and mkvmerge, for tests of the real tools.
#pragma once

#include "media/MediaEnums.h"

#include <QList>
#include <QString>

#include <optional>

struct TestTrack {
    // Absent: no language is given, so mkvmerge writes "und" (undetermined); mkvmerge then
    // reports "und" and ffprobe reports no language. mkvmerge cannot write a track without a
    // language element, and such a track would read as "eng", the Matroska default.
    std::optional<QString> language;
    std::optional<QString> name;
    bool defaultTrack = false;
    bool forcedTrack = false;
};

struct TestMediaLayout {
    double durationSeconds = 2.0;
    QList<TestTrack> audio;     // one entry per audio track
    QList<TestTrack> subtitles; // one entry per SubRip subtitle track
};

// Writes a Matroska file with one tiny video track and the given audio and subtitle tracks
// to `path`. Returns an empty text on success, else what went wrong.
// Encoded streams are made once per process and per duration, then only remuxed.
QString makeTestMatroska(const QString &path, const TestMediaLayout &layout);

// Writes `contents` to `path` and returns `path`. Ends the test program when it cannot.
QString writeTestFile(const QString &path, const QByteArray &contents);

// Writes `text` to `path` as a small SubRip file. Returns false on failure.
bool writeTestSubtitle(const QString &path, const QString &text = QStringLiteral("Hallo"));
