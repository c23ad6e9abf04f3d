// The episode folders "eng" and "ger" that the command-line tests analyse, and their report.
#pragma once

#include "support/TestMedia.h"

#include <QDir>
#include <QString>
#include <QTest>

#include <tuple>

// Every pair status but "folder 2 missing", a sidecar subtitle and a folder-2 file mkvmerge
// cannot read. The error is found while inspecting, so it comes before the findings.
inline const QString episodesReport =
    QString::fromUtf16(u"S01E01\tS01E01.mkv\tS01E01 - Pilot.mkv\tS01E01 - Pilot.mkv\tBereit\n"
                       u"S01E02\tS01E02.mkv\tS01E02.mkv\tS01E02.mkv\tDatei nicht lesbar\n"
                       u"S01E03\t–\tS01E03.mkv\tS01E03.mkv\tDatei in Ordner 1 fehlt\n"
                       u"Einzeldatei\tBonus.mkv\t–\tBonus.mkv\tZuordnung nicht eindeutig\n"
                       u"\n"
                       u"[Fehler] S01E02.mkv: mkvmerge hat keine lesbaren Analysedaten geliefert.\n"
                       u"[Hinweis] S01E01: 1 externe Untertiteldatei(en) zugeordnet.\n");

// Makes "eng" and "ger" in `dir`, whose analysis reads as `episodesReport`. For initTestCase:
// a failure here skips the test cases.
inline void makeEpisodeFolders(const QDir &dir)
{
    using namespace Qt::StringLiterals;
    for (const QString &folder : {u"eng"_s, u"ger"_s})
        QVERIFY(dir.mkdir(folder));
    const TestTrack eng{u"eng"_s, {}, false, false}, ger{u"ger"_s, {}, false, false};
    const QList<std::tuple<QString, TestTrack>> files{{u"eng/S01E01.mkv"_s, eng},
                                                      {u"eng/S01E02.mkv"_s, eng},
                                                      {u"eng/Bonus.mkv"_s, eng},
                                                      {u"ger/S01E01 - Pilot.mkv"_s, ger},
                                                      {u"ger/S01E03.mkv"_s, ger}};
    for (const auto &[name, track] : files)
        QCOMPARE(makeTestMatroska(dir.filePath(name), {2.0, {track}, {}}), QString());
    QVERIFY(writeTestSubtitle(dir.filePath(u"ger/S01E01.de.srt"_s)));
    // mkvmerge exits 0 on a text file, reporting no tracks.
    writeTestFile(dir.filePath(u"ger/S01E02.mkv"_s), "Hallo\n");
}
