// Scanning source folders: which files count, their sidecars, unreadable folders.
#include "media/FolderScan.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// "name [subtitle, …]" per media file.
QStringList describe(const QList<MediaFile> &files)
{
    QStringList rows;
    for (const MediaFile &file : files) {
        QString row = fileNameOf(file.url);
        if (file.episodeID)
            row += u' ' + file.episodeID->description();
        QStringList subtitles;
        for (const QUrl &subtitle : file.sidecarSubtitles)
            subtitles << fileNameOf(subtitle);
        if (!subtitles.isEmpty())
            row += u" ["_s + subtitles.join(u", "_s) + u']';
        rows << row;
    }
    return rows;
}

} // namespace

class FolderScanTest final : public QObject {
    Q_OBJECT

private slots:
    void scanFolder_data()
    {
        // A trailing "/" makes a sub-folder, a trailing "|" a named pipe.
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("only subtitles of its episode, extensions in any case")
            << QStringList{u"S01E02.MKV"_s, u"S01E02.en.forced.ass"_s, u"x.S01E02.SRT"_s,
                           u"S01E03.srt"_s, u"Serie.srt"_s}
            << QStringList{u"S01E02.MKV S01E02 [S01E02.en.forced.ass, x.S01E02.SRT]"_s};
        QTest::newRow("hidden, nested, pipes and other extensions left out")
            << QStringList{u".S01E01.mkv"_s, u"Staffel/"_s,   u"Staffel/S01E02.mkv"_s,
                           u"S01E03.mkv|"_s, u"S01E01.mkv"_s, u"S01E01.sub"_s,
                           u"S01E01.idx"_s,  u"S01E01.txt"_s, u"S01E01.mp4"_s,
                           u"S01E01.vtt"_s}
            << QStringList{u"S01E01.mkv S01E01 [S01E01.vtt]"_s};
        QTest::newRow("lone film takes every subtitle")
            << QStringList{u"Film.mkv"_s, u"Untertitel.vtt"_s, u"Film.srt"_s, u"S01E01.sup"_s}
            << QStringList{u"Film.mkv [Film.srt, S01E01.sup, Untertitel.vtt]"_s};
        QTest::newRow("two films take none")
            << QStringList{u"Film B.mkv"_s, u"Film A.mkv"_s, u"Film.srt"_s}
            << QStringList{u"Film A.mkv"_s, u"Film B.mkv"_s};
        QTest::newRow("subtitle shared by two files")
            << QStringList{u"A.S01E02.mkv"_s, u"B.S01E02.mkv"_s, u"S01E02.srt"_s}
            << QStringList{u"A.S01E02.mkv S01E02 [S01E02.srt]"_s,
                           u"B.S01E02.mkv S01E02 [S01E02.srt]"_s};
        QTest::newRow("natural order, case-insensitive")
            << QStringList{u"Folge 10 S01E10.mkv"_s, u"folge 2 S01E02.mkv"_s,
                           u"Folge 1 S01E01.mkv"_s}
            << QStringList{u"Folge 1 S01E01.mkv S01E01"_s, u"folge 2 S01E02.mkv S01E02"_s,
                           u"Folge 10 S01E10.mkv S01E10"_s};
        QTest::newRow("folders named like a media file and like a subtitle")
            << QStringList{u"Extras.mkv/"_s, u"S01E01.de.srt/"_s, u"S01E01.mkv"_s}
            << QStringList{u"Extras.mkv"_s, u"S01E01.mkv S01E01"_s};
        QTest::newRow("characters special in a URL")
            << QStringList{u"S01E02 Was? #1.mkv"_s, u"S01E02 %20.de.srt"_s}
            << QStringList{u"S01E02 Was? #1.mkv S01E02 [S01E02 %20.de.srt]"_s};
    }

    void scanFolder()
    {
        QFETCH(QStringList, entries);
        QTemporaryDir folder;
        for (const QString &entry : entries) {
            if (entry.endsWith(u'/'))
                QVERIFY(QDir(folder.path()).mkpath(entry));
            else if (entry.endsWith(u'|'))
                QCOMPARE(mkfifo(QFile::encodeName(folder.filePath(entry.chopped(1))), 0600), 0);
            else
                writeTestFile(folder.filePath(entry), {});
        }
        const QList<MediaFile> files =
            ::scanFolder(QUrl::fromLocalFile(folder.path()), SourceKind::localized);
        QTEST(describe(files), "expected");
        for (const MediaFile &file : files) {
            QCOMPARE(file.source, SourceKind::localized);
            QVERIFY(QFileInfo::exists(file.url.toLocalFile()));
        }
    }

    void unreadableFoldersGiveNothing()
    {
        QTemporaryDir folder;
        const QString file = writeTestFile(folder.filePath(u"S01E01.mkv"_s), {});
        for (const QString &path : {folder.filePath(u"fehlt"_s), file})
            QVERIFY(::scanFolder(QUrl::fromLocalFile(path), SourceKind::primary).isEmpty());
        // An empty location must not fall back to the working directory.
        QDir::setCurrent(folder.path());
        QVERIFY(::scanFolder(QUrl(), SourceKind::primary).isEmpty());
    }
};

QTEST_GUILESS_MAIN(FolderScanTest)
#include "tst_folderscan.moc"
