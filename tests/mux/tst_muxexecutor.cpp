#include "inspect/MKVInspector.h"
#include "inspect/MkvmergeReader.h"
#include "mux/MuxError.h"
#include "mux/MuxExecutor.h"
#include "mux/ProgressScanner.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

struct MuxOutcome {
    std::optional<MuxResult> result;
    QString error; // the user's text of the error that ended the pair
    std::optional<MuxError::Kind> errorKind;
    QList<double> fractions; // as the progress callback received them
};

// Runs one mux and keeps the event loop going until it has ended; `onProgress` runs inside
// the progress callback.
MuxOutcome muxAndWait(MuxExecutor &executor, const EpisodePair &pair,
                      const std::optional<MediaInspection> &primary,
                      const std::optional<MediaInspection> &localized, const QString &outputFolder,
                      const std::function<void()> &onProgress = {})
{
    MuxOutcome outcome;
    QFuture<MuxResult> future =
        executor.mux(pair, primary, localized, QUrl::fromLocalFile(outputFolder),
                     [&](double fraction, std::optional<double>) {
                         outcome.fractions << fraction;
                         if (onProgress)
                             onProgress();
                     });
    if (!QTest::qWaitFor([&] { return future.isFinished(); }, 60000))
        qFatal("the mux did not end");
    try {
        outcome.result = future.result();
    } catch (const MuxError &error) {
        outcome.error = error.errorDescription();
        outcome.errorKind = error.kind();
    }
    return outcome;
}

QByteArray sha256Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden,
                                  QDir::Name);
}

// A stand-in mkvmerge: a shell script that gets the option file as its only argument.
QString writeFakeMkvmerge(const QString &folder, const QString &name, const QString &body)
{
    const QString path = QDir(folder).filePath(name);
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    // The temporary output is the first argument in the option file.
    script.write(
        "#!/bin/sh\noutput=$(sed 's/^\\[\"--output\",\"\\([^\"]*\\)\".*/\\1/' \"${1#@}\")\n");
    script.write(body.toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    return path;
}

} // namespace

class MuxExecutorTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_temporaryDirectory; // what the code under test sees as the temporary directory
    QString m_primaryFolder, m_localizedFolder;
    EpisodePair m_pair;
    std::optional<MediaInspection> m_primaryInspection, m_localizedInspection;

    QString newOutputFolder()
    {
        static int count = 0;
        const QString folder = m_root.filePath(u"out%1"_s.arg(++count));
        QDir().mkpath(folder);
        return folder;
    }

    ToolLocations fakeMkvmerge(const QString &body)
    {
        ToolLocations tools = ToolLocations::platformDefault();
        tools.bundledMkvmerge = writeFakeMkvmerge(newOutputFolder(), u"mkvmerge"_s, body);
        return tools;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        // Everything the mux leaves in the temporary directory shows up here.
        m_temporaryDirectory = m_root.filePath(u"tmp"_s);
        QVERIFY(QDir().mkpath(m_temporaryDirectory));

        m_primaryFolder = m_root.filePath(u"englisch"_s);
        m_localizedFolder = m_root.filePath(u"deutsch"_s);
        QDir().mkpath(m_primaryFolder);
        QDir().mkpath(m_localizedFolder);
        // 4.0 s against 3.84 s: the 25/24 speed-up of a PAL release.
        TestMediaLayout english{4.0, {{u"eng"_s}}, {{u"eng"_s}}};
        TestMediaLayout german{3.84, {{u"ger"_s, u"Stereo"_s}, {u"eng"_s}}, {{u"ger"_s}}};
        const QString primary = QDir(m_primaryFolder).filePath(u"Show.S01E02.mkv"_s);
        const QString localized = QDir(m_localizedFolder).filePath(u"S01E02 - Der Anfang.mkv"_s);
        QCOMPARE(makeTestMatroska(primary, english), QString());
        QCOMPARE(makeTestMatroska(localized, german), QString());

        // Beside folder 2: the embedded text again with a byte-order mark, CR LF line ends
        // and trailing spaces (a duplicate), and a forced file.
        const QString duplicate = QDir(m_localizedFolder).filePath(u"S01E02.de.srt"_s);
        QFile file(duplicate);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xEF\xBB\xBF"
                   "1\r\n00:00:00,000 --> 00:00:01,000  \r\nHallo \r\n\r\n");
        file.close();
        const QString forced = QDir(m_localizedFolder).filePath(u"S01E02.de.forced.srt"_s);
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

    void cleanup()
    {
        // Whatever a case did, no option file or extraction folder may stay behind.
        QCOMPARE(entriesOf(m_temporaryDirectory), QStringList());
    }

    void muxesPalPairIntoTheSpecifiedFile()
    {
        QStringList sources;
        for (const QString &folder : {m_primaryFolder, m_localizedFolder}) {
            for (const QString &name : entriesOf(folder))
                sources << QDir(folder).filePath(name);
        }
        QList<QByteArray> hashes;
        for (const QString &source : sources)
            hashes << sha256Of(source);

        MuxExecutor executor;
        const QString output = newOutputFolder();
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output);
        QVERIFY2(outcome.result, qPrintable(outcome.error));
        QCOMPARE(outcome.result->skippedDuplicateSubtitles, QStringList{u"S01E02.de.srt"_s});
        QCOMPARE(outcome.result->appliedTimingFactor, std::optional(1001.0 / 960.0));
        QCOMPARE(outcome.fractions.last(), 1.0);
        QCOMPARE(entriesOf(output), QStringList{u"S01E02 - Der Anfang.mkv"_s});

        // Read back with mkvmerge itself.
        const QString written = QDir(output).filePath(u"S01E02 - Der Anfang.mkv"_s);
        QProcess identify;
        identify.start(u"/usr/bin/mkvmerge"_s, {u"-J"_s, written});
        QVERIFY(identify.waitForFinished(30000));
        const QJsonObject report =
            QJsonDocument::fromJson(identify.readAllStandardOutput()).object();
        QCOMPARE(
            report.value(u"container").toObject().value(u"properties").toObject().value(u"title"),
            u"S01E02 - Der Anfang"_s);
        QCOMPARE(trackLayout(written),
                 (QStringList{
                     u"video und  default=yes forced=no"_s,
                     u"audio ger Deutsch – Stereo default=yes forced=no"_s,
                     u"audio eng English default=no forced=no"_s,
                     u"subtitles ger Deutsch default=no forced=no"_s,
                     u"subtitles ger Deutsch – Erzwungen default=no forced=yes"_s,
                     u"subtitles eng English default=no forced=no"_s,
                 }));

        // Stretched back to film speed, the German audio ends together with the video.
        const MediaInspection result = identifyWithMkvmerge(
            QUrl::fromLocalFile(u"/usr/bin/mkvmerge"_s), QUrl::fromLocalFile(written));
        const double videoEnd = *result.tracks.at(0).duration;
        const double germanEnd = *result.tracks.at(1).duration;
        QVERIFY2(qAbs(videoEnd - germanEnd) < 0.05,
                 qPrintable(u"%1 %2"_s.arg(videoEnd).arg(germanEnd)));

        for (qsizetype i = 0; i < sources.size(); ++i)
            QCOMPARE(sha256Of(sources.at(i)), hashes.at(i));
    }

    void namesBeginningWithAtSign()
    {
        // mkvmerge would read "@…" on its command line as an option file.
        const QString folder = m_root.filePath(u"@quelle"_s);
        QDir().mkpath(folder);
        const QString film = QDir(folder).filePath(u"@Film.mkv"_s);
        QVERIFY(QFile::copy(m_pair.localized->url.toLocalFile(), film));
        EpisodePair pair{u"single"_s, std::nullopt, m_pair.primary,
                         MediaFile{QUrl::fromLocalFile(film), SourceKind::localized},
                         PairStatus::ready};
        const QString output = m_root.filePath(u"@ausgabe"_s);
        QDir().mkpath(output);

        MuxExecutor executor;
        const MuxOutcome outcome =
            muxAndWait(executor, pair, m_primaryInspection, m_localizedInspection, output);
        QVERIFY2(outcome.result, qPrintable(outcome.error));
        QCOMPARE(entriesOf(output), QStringList{u"@Film.mkv"_s});
    }

    void cancelStopsTheRunningTool_data()
    {
        QTest::addColumn<bool>("realMkvmerge");
        QTest::newRow("real mkvmerge, cancelled at its first progress line") << true;
        QTest::newRow("silent tool that would run for a minute") << false;
    }

    void cancelStopsTheRunningTool()
    {
        QFETCH(bool, realMkvmerge);
        const ToolLocations tools = realMkvmerge
                                        ? ToolLocations::platformDefault()
                                        : fakeMkvmerge(u"touch \"$output\"\nexec sleep 60\n"_s);
        MuxExecutor executor(tools);
        const QString output = newOutputFolder();
        if (!realMkvmerge)
            QTimer::singleShot(300, [&] { executor.cancel(); });
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output,
                       [&] { executor.cancel(); });
        QCOMPARE(outcome.errorKind, std::optional(MuxError::Kind::cancelled));
        QCOMPARE(outcome.error, u"Die Verarbeitung wurde abgebrochen."_s);
        QCOMPARE(entriesOf(output), QStringList());

        // The next pair starts afresh.
        if (realMkvmerge) {
            const MuxOutcome next =
                muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output);
            QVERIFY2(next.result, qPrintable(next.error));
            QVERIFY(QFile::remove(next.result->outputURL.toLocalFile()));
        }
    }

    void toolOutcomes_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expectedError"); // empty: the pair succeeds
        QTest::addColumn<QList<double>>("expectedFractions");

        QTest::newRow("exit status 1 is success with warnings")
            << u"printf 'Warnung: komisch\\nProgress: 5%%\\rProgress: 12%%\\r' >&2\n"
               u"echo data > \"$output\"\nexit 1\n"_s
            << QString() << QList<double>{0.12, 1.0};
        QTest::newRow("exit status 2: the whole output, trimmed")
            << u"printf '  Progress: 40%%\\r'\necho 'Error: kaputt' >&2\n"
               u"echo data > \"$output\"\nexit 2\n"_s
            << u"Muxen fehlgeschlagen: Progress: 40%\rError: kaputt"_s << QList<double>{0.4};
        QTest::newRow("killed by a signal")
            << u"echo data > \"$output\"\nkill -KILL $$\n"_s
            << u"Muxen fehlgeschlagen: Process crashed"_s << QList<double>{};
    }

    void toolOutcomes()
    {
        QFETCH(QString, script);
        QFETCH(QString, expectedError);
        QFETCH(QList<double>, expectedFractions);
        MuxExecutor executor(fakeMkvmerge(script));
        const QString output = newOutputFolder();
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output);
        QCOMPARE(outcome.error, expectedError);
        QCOMPARE(outcome.fractions, expectedFractions);
        QCOMPARE(entriesOf(output), expectedError.isEmpty()
                                        ? QStringList{u"S01E02 - Der Anfang.mkv"_s}
                                        : QStringList());
    }

    void startFailure()
    {
        ToolLocations tools = fakeMkvmerge({});
        QFile script(tools.bundledMkvmerge);
        QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write("#!/nonexistent/interpreter\n");
        script.close();
        MuxExecutor executor(tools);
        const QString output = newOutputFolder();
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output);
        QCOMPARE(outcome.errorKind, std::optional(MuxError::Kind::failed));
        QVERIFY(outcome.error.startsWith(u"Muxen fehlgeschlagen: "_s));
        QCOMPARE(entriesOf(output), QStringList());
    }

    void fileAppearingAtTheOutputNameStaysUntouched()
    {
        MuxExecutor executor;
        const QString output = newOutputFolder();
        const QString target = QDir(output).filePath(u"S01E02 - Der Anfang.mkv"_s);
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output, [&] {
                QFile user(target);
                if (!user.exists() && user.open(QIODevice::WriteOnly))
                    user.write("meine Datei");
            });
        QCOMPARE(outcome.errorKind, std::optional(MuxError::Kind::failed));
        QCOMPARE(entriesOf(output), QStringList{u"S01E02 - Der Anfang.mkv"_s});
        QFile user(target);
        QVERIFY(user.open(QIODevice::ReadOnly));
        QCOMPARE(user.readAll(), QByteArray("meine Datei"));
    }

    void badInput_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("folder-2 file deleted after the analysis") << u"delete"_s;
        QTest::newRow("folder-2 file emptied after the analysis") << u"empty"_s;
        QTest::newRow("output folder missing") << u"no output folder"_s;
    }

    void badInput()
    {
        QFETCH(QString, damage);
        QTemporaryDir sources;
        const QString localized = sources.filePath(u"S01E02.mkv"_s);
        QVERIFY(QFile::copy(m_pair.localized->url.toLocalFile(), localized));
        EpisodePair pair = m_pair;
        pair.localized = MediaFile{QUrl::fromLocalFile(localized), SourceKind::localized};
        QString output = newOutputFolder();
        if (damage == u"delete")
            QVERIFY(QFile::remove(localized));
        else if (damage == u"empty")
            QVERIFY(QFile::resize(localized, 0));
        else
            output += u"/fehlt"_s;

        MuxExecutor executor;
        const MuxOutcome outcome =
            muxAndWait(executor, pair, m_primaryInspection, m_localizedInspection, output);
        QVERIFY2(outcome.errorKind == MuxError::Kind::failed, qPrintable(outcome.error));
        QVERIFY(outcome.error.startsWith(u"Muxen fehlgeschlagen: "_s));
        QCOMPARE(entriesOf(QFileInfo(output).isDir() ? output : sources.path())
                     .filter(u".Spurenflechter"_s),
                 QStringList());
    }

    void progressLines_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<int>>("reported");

        using Chunks = QList<QByteArray>;
        QTest::newRow("two lines in one chunk: the last one counts")
            << Chunks{"Progress: 5%\rProgress: 12%\r"} << QList<int>{12};
        QTest::newRow("same percentage twice")
            << Chunks{"Progress: 7%\r", "Progress: 7%\r"} << QList<int>{7};
        QTest::newRow("German wording") << Chunks{"Fortschritt: 40%\r"} << QList<int>{40};
        QTest::newRow("upper case") << Chunks{"PROGRESS: 40%\r"} << QList<int>{40};
        QTest::newRow("space before the percent sign")
            << Chunks{"Progress: 40 %\r"} << QList<int>{};
        QTest::newRow("beyond 100") << Chunks{"Progress: 250%\r"} << QList<int>{250};
        QTest::newRow("line split across chunks")
            << Chunks{"Progress: 3", "4%\rProg", "ress: 35%\r"} << QList<int>{34, 35};
        QTest::newRow("umlaut split across chunks")
            << Chunks{"Fortschritt: 10%\rGepr\xC3", "\xBC"
                                                    "ft\nProgress: 11%"}
            << QList<int>{10, 11};
    }

    void progressLines()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<int>, reported);
        ProgressScanner scanner;
        QList<int> seen;
        for (const QByteArray &chunk : chunks) {
            if (const std::optional<int> percentage = scanner.take(chunk))
                seen << *percentage;
        }
        QCOMPARE(seen, reported);
        QCOMPARE(scanner.output(), chunks.join());
    }
};

QTEST_GUILESS_MAIN(MuxExecutorTest)
#include "tst_muxexecutor.moc"
