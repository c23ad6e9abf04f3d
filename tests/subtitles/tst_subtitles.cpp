// Subtitle files: verdicts, languages, forced marks, replaced bitmaps and duplicates.
#include "inspect/MKVInspector.h"
#include "subtitles/SidecarScreening.h"
#include "subtitles/SubtitleDuplicates.h"
#include "subtitles/SubtitleRules.h"
#include "support/FakeTool.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"
#include "tools/ChildProcess.h"

#include <QDir>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString firstText = u"1\n00:00:00,000 --> 00:00:01,000\nGrüße aus Köln\n\n"
                          u"2\n00:00:01,000 --> 00:00:02,000\nBis bald\n"_s;
const QString secondText = u"1\n00:00:00,000 --> 00:00:02,000\nAnders\n"_s;
const QByteArray firstWithBomCrLfAndTrailingSpaces =
    "\xEF\xBB\xBF" + QString(firstText).replace(u"\n"_s, u"  \r\n"_s).toUtf8();
const QByteArray firstWithExtraEmptyLine =
    QString(firstText).replace(u"\n\n"_s, u"\n\n\n"_s).toUtf8();

QList<MediaTrack> subtitles(const QList<qint64> &ids)
{
    QList<MediaTrack> tracks;
    for (const qint64 id : ids)
        tracks << MediaTrack{.id = id, .type = TrackType::subtitles};
    return tracks;
}

} // namespace

Q_DECLARE_METATYPE(SidecarVerdict)

// The rules on names and track data, and the duplicate check with the real mkvextract on a
// file made at run time; a script stands in for mkvextract where only a misbehaving one helps.
class SubtitlesTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QUrl m_episode; // video (track 0) and the SubRip tracks 1 (firstText) and 2 (secondText)
    const QUrl m_mkvmerge = QUrl::fromLocalFile(u"/usr/bin/mkvmerge"_s);
    bool m_temporaryIsSmall = false; // a 1 MB file system of its own, that a test can fill

    QString write(const QString &name, const QByteArray &contents)
    {
        return writeTestFile(m_dir.filePath(name), contents);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && QDir(m_dir.path()).mkdir(u"tmp"_s));
        const QString video = m_dir.filePath(u"video.mkv"_s);
        const QString episode = m_dir.filePath(u"episode.mkv"_s);
        QCOMPARE(makeTestMatroska(video, {}), QString());
        const QStringList arguments{u"-o"_s, episode, video, write(u"1.srt"_s, firstText.toUtf8()),
                                    write(u"2.srt"_s, secondText.toUtf8())};
        QCOMPARE(runChild({m_mkvmerge.toLocalFile(), arguments}).exitCode, 0);
        m_episode = QUrl::fromLocalFile(episode);
        // Set last, to a folder of its own: only what the code under test leaves shows up there.
        const QByteArray temporary = QFile::encodeName(m_dir.filePath(u"tmp"_s));
        m_temporaryIsSmall = mount("tmpfs", temporary.constData(), "tmpfs", 0, "size=1m") == 0;
        qputenv("TMPDIR", temporary);
    }

    void cleanup() { QCOMPARE(folderEntries(m_dir.filePath(u"tmp"_s)), QStringList()); }

    void cleanupTestCase()
    {
        if (m_temporaryIsSmall)
            QCOMPARE(umount(QFile::encodeName(m_dir.filePath(u"tmp"_s)).constData()), 0);
    }

    // Identified by the real mkvmerge, which takes an empty file named .srt for a subtitle
    // track. A marked copy that cannot be written is the temporary folder's fault, not the
    // file's: the sidecar stays, so that its pair fails at the mux rather than lose the track.
    void sidecarVerdict_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("temporaryFull");
        QTest::addColumn<SidecarVerdict>("verdict");
        QTest::addColumn<QString>("finding"); // after "S01E01.de.srt: "; empty: none
        const QString unreadable = u"Die Untertiteldatei ist unlesbar und wird übersprungen."_s;
        // Larger than the few bytes a full file system may still have.
        const QByteArray unmarked =
            QStringEncoder(QStringConverter::Utf16LE)(firstText.repeated(200));
        QTest::newRow("SubRip") << firstText.toUtf8() << false << SidecarVerdict::usable
                                << QString();
        QTest::newRow("empty") << QByteArray() << false << SidecarVerdict::unreadable << unreadable;
        QTest::newRow("byte-order mark and a line end")
            << "\xEF\xBB\xBF\n"_ba << false << SidecarVerdict::unreadable << unreadable;
        QTest::newRow("UTF-16 without mark, temporary folder full")
            << unmarked << true << SidecarVerdict::notPrepared
            << u"Die Untertiteldatei konnte im temporären Ordner nicht vorbereitet werden."_s;
    }
    void sidecarVerdict()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, temporaryFull);
        QFETCH(SidecarVerdict, verdict);
        QFETCH(QString, finding);
        if (temporaryFull && !m_temporaryIsSmall)
            QSKIP("no file system of its own for the temporary folder: mounting is not permitted");
        const QUrl sidecar = QUrl::fromLocalFile(write(u"S01E01.de.srt"_s, contents));
        QFile filler(m_dir.filePath(u"tmp/filler"_s));
        const auto emptied = qScopeGuard([&] {
            filler.close();
            QFile::remove(filler.fileName()); // filler.remove() refuses after the failed write
        });
        if (temporaryFull) {
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            while (filler.write(QByteArray(4096, 'x')) == 4096) {
            }
        }
        QCOMPARE(checkSidecar(MKVInspector(), sidecar), verdict);
        const std::optional<AnalysisIssue> issue = sidecarIssue(sidecar, verdict);
        QCOMPARE(issue ? issue->message : QString(),
                 finding.isEmpty() ? QString() : u"S01E01.de.srt: "_s + finding);
    }

    void languageOfSidecar_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("language");
        QTest::newRow("English code in capitals after _") << u"S01E02_ENG.srt"_s << u"eng"_s;
        QTest::newRow("German word before forced") << u"S01E02.German.forced.srt"_s << u"deu"_s;
        QTest::newRow("English wins over German") << u"S01E02.english.de.srt"_s << u"eng"_s;
        QTest::newRow("longer word Englisch") << u"S01E02.Englisch.srt"_s << u"none"_s;
        QTest::newRow("word at the start") << u"Deutsch.srt"_s << u"deu"_s;
        QTest::newRow("after a no-break space") << u"S01E02\u00A0de.srt"_s << u"deu"_s;
        QTest::newRow("the extension is not read") << u"S01E02.de"_s << u"none"_s;
    }
    void languageOfSidecar()
    {
        QFETCH(QString, fileName);
        const QUrl sidecar = QUrl::fromLocalFile(u"/folder/"_s + fileName);
        QTEST(sidecarLanguage(sidecar).value_or(u"none"_s), "language");
    }

    void forcedSubtitle_data()
    {
        QTest::addColumn<MediaTrack>("track");
        QTest::addColumn<QList<MediaTrack>>("others"); // the rest of the track's list
        QTest::addColumn<bool>("forced");
        const auto counted = [](qint64 count) { return MediaTrack{.elementCount = count}; };
        const QList<MediaTrack> none, full{counted(1000)};
        QTest::newRow("50 next to 143") << counted(50) << QList{counted(143)} << true;
        QTest::newRow("51 next to 1000") << counted(51) << full << false;
        QTest::newRow("35 next to 100: exactly 0.35") << counted(35) << QList{counted(100)} << true;
        QTest::newRow("alone") << counted(10) << none << false;
        QTest::newRow("alone, flagged") << MediaTrack{.forcedTrack = true} << none << true;
        QTest::newRow("no count next to 1000") << MediaTrack{} << full << false;
        QTest::newRow("no count, named so") << MediaTrack{.name = u"Erzwungen"_s} << full << true;
    }
    void forcedSubtitle()
    {
        QFETCH(MediaTrack, track);
        QFETCH(QList<MediaTrack>, others);
        QTEST(isForcedSubtitle(track, QList{track} + others), "forced");
    }

    void replacedBitmapSubtitles_data()
    {
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<QList<qint64>>("replacedIDs");
        QTest::newRow("full text file") << u"S01E02.de.srt"_s << QList<qint64>{3, 5};
        QTest::newRow("forced text file") << u"S01E02.de.forced.srt"_s << QList<qint64>{};
        QTest::newRow("bitmap file") << u"S01E02.de.sup"_s << QList<qint64>{};
    }
    void replacedBitmapSubtitles()
    {
        QFETCH(QString, candidate);
        // 40 entries next to 1400 count as forced: track 4 stays. Text track 6 stays.
        const auto track = [](qint64 id, const QString &codec, qint64 count) {
            return MediaTrack{.id = id, .codec = codec, .elementCount = count};
        };
        const QList<MediaTrack> german{track(3, u"HDMV PGS"_s, 1400), track(4, u"HDMV PGS"_s, 40),
                                       track(5, u"VobSub"_s, 1200), track(6, u"SubRip/SRT"_s, 900)};
        QList<qint64> ids;
        for (const MediaTrack &replaced :
             selectReplacedBitmapSubtitles(german, {QUrl::fromLocalFile(u"/f/"_s + candidate)}))
            ids << replaced.id;
        QTEST(ids, "replacedIDs");
    }

    void normalizedTextEquality_data()
    {
        QTest::addColumn<QByteArray>("other");
        QTest::addColumn<bool>("equalToFirstText");
        const auto utf16 = [](QStringConverter::Encoding encoding) {
            return QByteArray(
                QStringEncoder(encoding, QStringConverter::Flag::WriteBom)(firstText));
        };
        QTest::newRow("no-break space and tab at a line end")
            << QString(firstText).replace(u"Köln\n"_s, u"Köln\u00A0\t\n"_s).toUtf8() << true;
        QTest::newRow("UTF-16 LE with byte-order mark") << utf16(QStringConverter::Utf16LE) << true;
        QTest::newRow("UTF-16 BE with byte-order mark") << utf16(QStringConverter::Utf16BE) << true;
        QTest::newRow("UTF-16 LE without mark")
            << QByteArray(QStringEncoder(QStringConverter::Utf16LE)(firstText)) << true;
        QTest::newRow("UTF-16 BE without mark")
            << QByteArray(QStringEncoder(QStringConverter::Utf16BE)(firstText)) << true;
        QTest::newRow("decomposed umlauts")
            << firstText.normalized(QString::NormalizationForm_D).toUtf8() << true;
        QTest::newRow("other case") << firstText.toUpper().toUtf8() << false;
    }
    void normalizedTextEquality()
    {
        QFETCH(QByteArray, other);
        QTEST(normalizeSubtitleText(other) == normalizeSubtitleText(firstText.toUtf8()),
              "equalToFirstText");
    }

    // Left out only when equal to a track apart from byte-order mark, line ends and spaces at
    // line ends (an extra empty line between entries is a difference); whatever cannot be
    // compared is kept.
    void duplicateSidecars()
    {
        QVERIFY(QDir(m_dir.path()).mkdir(u"folder.srt"_s)); // exists, but cannot be read as a file
        const QList<QUrl> sidecars{
            QUrl::fromLocalFile(write(u"bom-crlf.srt"_s, firstWithBomCrLfAndTrailingSpaces)),
            QUrl::fromLocalFile(write(u"extra-line.srt"_s, firstWithExtraEmptyLine)),
            QUrl::fromLocalFile(write(u"second.srt"_s, secondText.toUtf8())),
            QUrl::fromLocalFile(m_dir.filePath(u"vanished.srt"_s)),
            QUrl::fromLocalFile(m_dir.filePath(u"folder.srt"_s))};

        SidecarSelection selection =
            removeDuplicateSidecars(sidecars, subtitles({1, 2}), {m_episode}, m_mkvmerge);
        QCOMPARE(selection.kept, (QList{sidecars[1], sidecars[3], sidecars[4]}));
        QCOMPARE(selection.duplicateNames, (QStringList{u"bom-crlf.srt"_s, u"second.srt"_s}));

        const QUrl noMkvextractBeside = QUrl::fromLocalFile(m_dir.filePath(u"tmp/mkvmerge"_s));
        selection =
            removeDuplicateSidecars(sidecars, subtitles({1, 2}), {m_episode}, noMkvextractBeside);
        QCOMPARE(selection.kept, sidecars);
        QCOMPARE(selection.duplicateNames, QStringList());
    }

    // A stand-in mkvextract writes "Spur <id>" for each track, with the .idx and .sub files of
    // VobSub, and exits with `statusForSeveral` when given several tracks. Alone, track 7 exits
    // with 1 (warnings), every other track with 0.
    void fallbackToOneRunPerTrack_data()
    {
        QTest::addColumn<int>("statusForSeveral");
        QTest::addColumn<QList<qint64>>("trackIDs");
        QTest::addColumn<int>("runs");
        QTest::addColumn<QList<qint64>>("readIDs");
        QTest::newRow("one run for several")
            << 0 << QList<qint64>{3, 4} << 1 << QList<qint64>{3, 4};
        QTest::newRow("fails for several, track 7 warns alone: one run each, 7 not read")
            << 2 << QList<qint64>{7, 4} << 3 << QList<qint64>{4};
    }
    void fallbackToOneRunPerTrack()
    {
        QFETCH(int, statusForSeveral);
        QFETCH(QList<qint64>, trackIDs);
        QFETCH(int, runs);
        QFETCH(QList<qint64>, readIDs);
        const QString mkvextract = writeFakeTool(
            m_dir.filePath(u"mkvextract"_s),
            "echo >> \"$0.runs\"; shift 2\nfor pair; do\n"
            "  id=${pair%%:*}; out=${pair#*:}; echo \"Spur $id\" > \"$out\"\n"
            "  : > \"${out%.txt}.idx\"; : > \"${out%.txt}.sub\"\ndone\n"
            "[ $# -gt 1 ] && exit " +
                QByteArray::number(statusForSeveral) + "\n[ $id = 7 ] && exit 1\nexit 0");
        QFile::remove(mkvextract + u".runs"_s);

        const QHash<qint64, QString> texts =
            extractSubtitleTexts(subtitles(trackIDs), QUrl::fromLocalFile(mkvextract), m_episode);
        QHash<qint64, QString> expected;
        for (const qint64 id : readIDs)
            expected.insert(id, u"Spur %1"_s.arg(id));
        QCOMPARE(texts, expected);
        QFile log(mkvextract + u".runs"_s);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll().count('\n'), runs);
    }
};

QTEST_GUILESS_MAIN(SubtitlesTest)
#include "tst_subtitles.moc"
