// The PAL pair with two sidecars that the executor tests mux, and the folders they write to.
#pragma once

#include "inspect/MKVInspector.h"
#include "media/EpisodePair.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Folder 1's English file and folder 2's German one of S01E02, inspected, and a temporary
// directory of the fixture's own that tests compare with `folderEntries`.
class MuxPairFixture {
protected:
    QTemporaryDir m_root;
    QString m_temporaryDirectory; // what the code under test sees as the temporary directory
    EpisodePair m_pair;
    std::optional<MediaInspection> m_primaryInspection, m_localizedInspection;

    QString newOutputFolder()
    {
        using namespace Qt::Literals::StringLiterals;
        static int count = 0;
        const QString folder = m_root.filePath(u"out%1"_s.arg(++count));
        QDir().mkpath(folder);
        return folder;
    }

    // For initTestCase: a failure here skips the test cases.
    void makePair()
    {
        using namespace Qt::Literals::StringLiterals;
        // Everything the mux leaves in the temporary directory shows up in "tmp".
        for (const QString &folder : {u"tmp"_s, u"englisch"_s, u"deutsch"_s})
            QVERIFY(QDir(m_root.path()).mkdir(folder));
        m_temporaryDirectory = m_root.filePath(u"tmp"_s);
        // 4.0 s against 3.84 s: the 25/24 speed-up of a PAL release.
        TestMediaLayout english{4.0, {{u"eng"_s}}, {{u"eng"_s}}};
        TestMediaLayout german{3.84, {{u"ger"_s, u"Stereo"_s}, {u"eng"_s}}, {{u"ger"_s}}};
        const QString primary = m_root.filePath(u"englisch/Show.S01E02.mkv"_s);
        const QString localized = m_root.filePath(u"deutsch/S01E02 - Der Anfang.mkv"_s);
        QCOMPARE(makeTestMatroska(primary, english), QString());
        QCOMPARE(makeTestMatroska(localized, german), QString());

        // Beside folder 2: the embedded text again with a byte-order mark, CR LF line ends
        // and trailing spaces (a duplicate), and a forced file.
        const QString duplicate =
            writeTestFile(m_root.filePath(u"deutsch/S01E02.de.srt"_s),
                          "\xEF\xBB\xBF"
                          "1\r\n00:00:00,000 --> 00:00:01,000  \r\nHallo \r\n\r\n");
        const QString forced = m_root.filePath(u"deutsch/S01E02.de.forced.srt"_s);
        QVERIFY(writeTestSubtitle(forced, u"Schild: Ausgang"_s));

        m_pair = EpisodePair{
            u"S01E02"_s, EpisodeID{1, 2},
            MediaFile{QUrl::fromLocalFile(primary), SourceKind::primary, EpisodeID{1, 2}},
            MediaFile{QUrl::fromLocalFile(localized),
                      SourceKind::localized,
                      EpisodeID{1, 2},
                      {QUrl::fromLocalFile(forced), QUrl::fromLocalFile(duplicate)}},
            PairStatus::ready};
        MKVInspector inspector;
        m_primaryInspection = inspector.inspect(m_pair.primary->url);
        m_localizedInspection = inspector.inspect(m_pair.localized->url);
        // Set last: the media made above keep their own temporary folder.
        qputenv("TMPDIR", QFile::encodeName(m_temporaryDirectory));
    }
};
