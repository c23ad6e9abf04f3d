#include "inspect/MKVInspector.h"
#include "inspect/MkvmergeReader.h"
#include "mux/MuxError.h"
#include "mux/MuxExecutor.h"
#include "mux/ProgressScanner.h"
#include "support/FakeTool.h"
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

#include <csignal>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace {

struct MuxOutcome {
    std::optional<MuxResult> result;
    QString error; // the user's text of the error that ended the pair
    std::optional<MuxError::Kind> errorKind;
    QList<double> fractions; // as the progress callback received them
    QStringList warnings;    // of the result
};

// Runs one mux and keeps the event loop going until it has ended; `onProgress` runs inside
// the progress callback.
MuxOutcome muxAndWait(MuxExecutor &executor, const EpisodePair &pair,
                      const std::optional<MediaInspection> &primary,
                      const std::optional<MediaInspection> &localized, const QString &outputFolder,
                      const std::function<void()> &onProgress = {},
                      const std::optional<SourceFingerprints> &seenByAnalysis = {})
{
    MuxOutcome outcome;
    QFuture<MuxResult> future = executor.mux(
        pair, primary, localized, QUrl::fromLocalFile(outputFolder),
        [&](double fraction, std::optional<double>) {
            outcome.fractions << fraction;
            if (onProgress)
                onProgress();
        },
        std::nullopt, seenByAnalysis);
    if (!QTest::qWaitFor([&] { return future.isFinished(); }, 60000))
        qFatal("the mux did not end");
    try {
        outcome.result = future.result();
        outcome.warnings = outcome.result->warnings;
    } catch (const MuxError &error) {
        outcome.error = error.errorDescription();
        outcome.errorKind = error.kind();
    }
    return outcome;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    return QDir(folder).entryList(
        QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name);
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
        tools.bundledMkvmerge =
            writeFakeTool(newOutputFolder() + u"/mkvmerge"_s, fakeMkvmergePrelude + body.toUtf8());
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

    // Going away during the planning stops its mkvextract at once, and no mkvmerge follows.
    void destroyedWhilePlanning()
    {
        const QString tools = newOutputFolder();
        ToolLocations locations = ToolLocations::platformDefault();
        locations.bundledMkvmerge = writeFakeTool(tools + u"/mkvmerge"_s, "touch \"$0.ran\"");
        const QString mkvextract = writeFakeTool(tools + u"/mkvextract"_s, hangingToolBody);
        auto executor = std::make_unique<MuxExecutor>(locations);
        const QString output = newOutputFolder();
        const QFuture<MuxResult> pending = executor->mux(
            m_pair, m_primaryInspection, m_localizedInspection, QUrl::fromLocalFile(output), {});
        const pid_t extraction = hangingToolProcess(mkvextract);
        QVERIFY(extraction > 0);
        executor.reset();
        QVERIFY(pending.isFinished());
        QCOMPARE(::kill(extraction, 0), -1);
        QVERIFY(!QFile::exists(locations.bundledMkvmerge + u".ran"_s));
        QCOMPARE(entriesOf(output), QStringList());
    }

    void toolOutcomes_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expectedError"); // empty: the pair succeeds
        QTest::addColumn<QList<double>>("expectedFractions");
        QTest::addColumn<QStringList>("expectedWarnings");

        QTest::newRow("exit status 1 is success with warnings")
            << u"printf 'Warnung: komisch\\nProgress: 5%%\\rProgress: 12%%\\r' >&2\n"
               u"echo data > \"$output\"\nexit 1\n"_s
            << QString() << QList<double>{0.12, 1.0} << QStringList{u"Warnung: komisch"_s};
        QTest::newRow("exit status 1, but a requested track is missing (German wording)")
            << u"echo \"Warnung: 'x.mkv': Eine Spur mit der ID 2 wurde angegeben, aber in der "
               u"Quelldatei nicht gefunden.\"\necho data > \"$output\"\nexit 1\n"_s
            << u"Muxen fehlgeschlagen: Warnung: 'x.mkv': Eine Spur mit der ID 2 wurde angegeben, "
               u"aber in der Quelldatei nicht gefunden."_s
            << QList<double>{} << QStringList();
        QTest::newRow("exit status 2: the whole output, trimmed")
            << u"printf '  Progress: 40%%\\r'\necho 'Error: kaputt' >&2\n"
               u"echo data > \"$output\"\nexit 2\n"_s
            << u"Muxen fehlgeschlagen: Progress: 40%\rError: kaputt"_s << QList<double>{0.4}
            << QStringList();
        QTest::newRow("killed by a signal: its output, then the signal")
            << u"printf 'Progress: 1%%\r'\necho data > \"$output\"\nkill -KILL $$\n"_s
            << u"Muxen fehlgeschlagen: Progress: 1% (mkvmerge wurde durch Signal 9 beendet)"_s
            << QList<double>{0.01} << QStringList();
    }

    void toolOutcomes()
    {
        QFETCH(QString, script);
        QFETCH(QString, expectedError);
        QFETCH(QList<double>, expectedFractions);
        QFETCH(QStringList, expectedWarnings);
        MuxExecutor executor(fakeMkvmerge(script));
        const QString output = newOutputFolder();
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output);
        QCOMPARE(outcome.error, expectedError);
        QCOMPARE(outcome.fractions, expectedFractions);
        QCOMPARE(outcome.warnings, expectedWarnings);
        QCOMPARE(entriesOf(output), expectedError.isEmpty()
                                        ? QStringList{u"S01E02 - Der Anfang.mkv"_s}
                                        : QStringList());
    }

    void startFailure()
    {
        ToolLocations tools = ToolLocations::platformDefault();
        tools.bundledMkvmerge =
            writeFakeTool(newOutputFolder() + u"/mkvmerge"_s, "#!/nonexistent/interpreter\n");
        MuxExecutor executor(tools);
        const QString output = newOutputFolder();
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output);
        QCOMPARE(outcome.errorKind, std::optional(MuxError::Kind::failed));
        QVERIFY(outcome.error.startsWith(u"Muxen fehlgeschlagen: "_s));
        QCOMPARE(entriesOf(output), QStringList());
    }

    void nameTakenWhileMkvmergeRuns_data()
    {
        QTest::addColumn<bool>("danglingLink");
        QTest::newRow("a file of the user") << false;
        QTest::newRow("a dangling link to a place outside the output folder") << true;
    }

    // Whatever takes the output name while mkvmerge writes stays as it is.
    void nameTakenWhileMkvmergeRuns()
    {
        QFETCH(bool, danglingLink);
        MuxExecutor executor;
        const QString output = newOutputFolder();
        const QString target = QDir(output).filePath(u"S01E02 - Der Anfang.mkv"_s);
        const QString linkTarget = output + u"-link-target"_s;
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output, [&] {
                if (QFileInfo(target).isSymLink() || QFileInfo::exists(target))
                    return;
                QFile user(target);
                if (danglingLink)
                    QVERIFY(QFile::link(linkTarget, target));
                else if (user.open(QIODevice::WriteOnly))
                    user.write("meine Datei");
            });
        QCOMPARE(outcome.error, u"Die Ausgabedatei existiert bereits: S01E02 - Der Anfang.mkv"_s);
        QCOMPARE(entriesOf(output), QStringList{u"S01E02 - Der Anfang.mkv"_s});
        QCOMPARE(QFileInfo(target).isSymLink(), danglingLink);
        QVERIFY(!QFileInfo::exists(linkTarget));
        if (!danglingLink)
            QCOMPARE(contentsOf(target), QByteArray("meine Datei"));
    }

    void outputFolderMovedDuringThePair_data()
    {
        QTest::addColumn<bool>("newFolderAtItsPath");
        QTest::newRow("moved") << false;
        QTest::newRow("moved, and a new folder made at its path") << true;
    }

    void outputFolderMovedDuringThePair()
    {
        QFETCH(bool, newFolderAtItsPath);
        MuxExecutor executor;
        const QString output = newOutputFolder();
        const QString moved = output + u"-verschoben"_s;
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output, [&] {
                if (QDir().rename(output, moved) && newFolderAtItsPath)
                    QVERIFY(QDir().mkdir(output));
            });
        QCOMPARE(outcome.error, u"Muxen fehlgeschlagen: Der Ausgabeordner wurde während des "
                                u"Muxens verschoben oder entfernt: "_s +
                                    output);
        QVERIFY(QFileInfo(moved).isDir());
        QCOMPARE(entriesOf(moved), QStringList());
        QCOMPARE(entriesOf(output), QStringList());
    }

    void sourceChangedSinceTheAnalysis_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("whileMkvmergeRuns");
        QTest::newRow("replaced by another file before the pair") << u"replace"_s << false;
        QTest::newRow("replaced by a named pipe before the pair") << u"pipe"_s << false;
        QTest::newRow("truncated while mkvmerge reads it") << u"truncate"_s << true;
    }

    void sourceChangedSinceTheAnalysis()
    {
        QFETCH(QString, change);
        QFETCH(bool, whileMkvmergeRuns);
        QTemporaryDir sources;
        const QString localized = sources.filePath(u"S01E02.mkv"_s);
        QVERIFY(QFile::copy(m_pair.localized->url.toLocalFile(), localized));
        EpisodePair pair = m_pair;
        pair.localized = MediaFile{QUrl::fromLocalFile(localized), SourceKind::localized};
        SourceFingerprints seen;
        recordFingerprints({pair}, seen);
        bool changed = false;
        const auto changeSource = [&] {
            if (std::exchange(changed, true))
                return;
            if (change == u"truncate") {
                QVERIFY(QFile::resize(localized, QFileInfo(localized).size() / 2));
                return;
            }
            QVERIFY(QFile::remove(localized));
            if (change == u"pipe")
                QCOMPARE(::mkfifo(QFile::encodeName(localized).constData(), 0600), 0);
            else
                QVERIFY(QFile::copy(m_pair.primary->url.toLocalFile(), localized));
        };
        if (!whileMkvmergeRuns)
            changeSource();

        MuxExecutor executor;
        const QString output = newOutputFolder();
        const MuxOutcome outcome = muxAndWait(
            executor, pair, m_primaryInspection, m_localizedInspection, output,
            [&] {
                if (whileMkvmergeRuns)
                    changeSource();
            },
            seen);
        QCOMPARE(outcome.errorKind, std::optional(MuxError::Kind::sourceChanged));
        QCOMPARE(outcome.error, u"S01E02.mkv: Die Datei wurde seit der Analyse verändert. Bitte "
                                u"erneut analysieren."_s);
        QCOMPARE(entriesOf(output), QStringList());
    }

    void badInput_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("mentioned"); // in the failure text
        QTest::newRow("folder-2 file deleted after the analysis") << u"delete"_s << u"S01E02.mkv"_s;
        QTest::newRow("folder-2 file emptied after the analysis") << u"empty"_s << u"S01E02.mkv"_s;
        QTest::newRow("output folder missing")
            << u"no output folder"_s << u"Der Ausgabeordner fehlt: "_s;
        QTest::newRow("the inspection names an audio track the file lacks")
            << u"unknown track"_s << u"A track with the ID 7 was requested but not found"_s;
    }

    void badInput()
    {
        QFETCH(QString, damage);
        QFETCH(QString, mentioned);
        QTemporaryDir sources;
        const QString localized = sources.filePath(u"S01E02.mkv"_s);
        QVERIFY(QFile::copy(m_pair.localized->url.toLocalFile(), localized));
        EpisodePair pair = m_pair;
        pair.localized = MediaFile{QUrl::fromLocalFile(localized), SourceKind::localized};
        QString output = newOutputFolder();
        std::optional<MediaInspection> localizedInspection = m_localizedInspection;
        if (damage == u"delete")
            QVERIFY(QFile::remove(localized));
        else if (damage == u"empty")
            QVERIFY(QFile::resize(localized, 0));
        else if (damage == u"unknown track")
            localizedInspection->tracks << MediaTrack{7, TrackType::audio, u"AC-3"_s, u"ger"_s};
        else
            output += u"/fehlt"_s;

        MuxExecutor executor;
        const MuxOutcome outcome =
            muxAndWait(executor, pair, m_primaryInspection, localizedInspection, output);
        QVERIFY2(outcome.errorKind == MuxError::Kind::failed, qPrintable(outcome.error));
        QVERIFY(outcome.error.startsWith(u"Muxen fehlgeschlagen: "_s));
        QVERIFY2(outcome.error.contains(mentioned), qPrintable(outcome.error));
        // The tool reaches the output folder through a descriptor; the user reads its real path.
        QVERIFY2(!outcome.error.contains(u"/proc/"_s), qPrintable(outcome.error));
        QCOMPARE(entriesOf(output), QStringList());
        QCOMPARE(entriesOf(sources.path()).filter(u".Spurenflechter"_s), QStringList());
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
