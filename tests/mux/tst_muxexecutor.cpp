#include "inspect/MKVInspector.h"
#include "mux/ProgressScanner.h"
#include "MuxOutcome.h"
#include "support/FakeTool.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

class MuxExecutorTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_temporaryDirectory; // what the code under test sees as the temporary directory
    EpisodePair m_pair;
    std::optional<MediaInspection> m_primaryInspection, m_localizedInspection;

    QString newOutputFolder()
    {
        static int count = 0;
        const QString folder = m_root.filePath(u"out%1"_s.arg(++count));
        QDir().mkpath(folder);
        return folder;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
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

    void cleanup()
    {
        // Whatever a case did, no option file or extraction folder may stay behind.
        QCOMPARE(folderEntries(m_temporaryDirectory), QStringList());
    }

    // How the stretch lines up and how the German tracks are flagged, the pitch restoration
    // tests measure; here: the whole layout, and the sources stay as they were.
    void muxesPalPairIntoTheSpecifiedFile()
    {
        SourceFingerprints before;
        recordFingerprints({m_pair}, before);

        MuxExecutor executor;
        const QString output = newOutputFolder();
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output);
        QVERIFY2(outcome.result, qPrintable(outcome.error));
        QCOMPARE(outcome.result->skippedDuplicateSubtitles, QStringList{u"S01E02.de.srt"_s});
        QCOMPARE(outcome.result->appliedTimingFactor, std::optional(1001.0 / 960.0));
        QCOMPARE(folderEntries(output), QStringList{u"S01E02 - Der Anfang.mkv"_s});
        QCOMPARE(trackLayout(QDir(output).filePath(u"S01E02 - Der Anfang.mkv"_s)),
                 (QStringList{
                     u"video und  default=yes forced=no"_s,
                     u"audio ger Deutsch – Stereo default=yes forced=no"_s,
                     u"audio eng English default=no forced=no"_s,
                     u"subtitles ger Deutsch default=no forced=no"_s,
                     u"subtitles ger Deutsch – Erzwungen default=no forced=yes"_s,
                     u"subtitles eng English default=no forced=no"_s,
                 }));
        QCOMPARE(firstChangedFile(sourceFilesOf(m_pair), before), std::nullopt);
    }

    // mkvmerge would read "@…" on its command line as an option file: here the title.
    void nameBeginningWithAtSign()
    {
        const QString film = m_root.filePath(u"@Film.mkv"_s);
        const QString output = newOutputFolder();
        QVERIFY(QFile::copy(m_pair.localized->url.toLocalFile(), film));
        const EpisodePair pair{u"single"_s, std::nullopt, m_pair.primary,
                               MediaFile{QUrl::fromLocalFile(film), SourceKind::localized},
                               PairStatus::ready};
        MuxExecutor executor;
        const MuxOutcome outcome =
            muxAndWait(executor, pair, m_primaryInspection, m_localizedInspection, output);
        QVERIFY2(outcome.result, qPrintable(outcome.error));
        QCOMPARE(folderEntries(output), QStringList{u"@Film.mkv"_s});
    }

    // Cancelled at mkvmerge's first progress line; the next pair starts afresh. (A silent
    // tool is stopped by the same flag: see the child-process and mux-run tests.)
    void cancelStopsTheRunningTool()
    {
        MuxExecutor executor;
        const QString output = newOutputFolder();
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output,
                       [&] { executor.cancel(); });
        QCOMPARE(outcome.errorKind, std::optional(MuxError::Kind::cancelled));
        QCOMPARE(folderEntries(output), QStringList());
        const MuxOutcome next =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output);
        QVERIFY2(next.result, qPrintable(next.error));
    }

    // A cancel reaches the running pair and one queued behind it, but not a pair asked for
    // after it.
    void cancelStopsEveryPairAskedForBefore()
    {
        MuxExecutor executor;
        const QString output = newOutputFolder(), laterOutput = newOutputFolder();
        const MuxRequest request{m_pair, m_primaryInspection, m_localizedInspection,
                                 QUrl::fromLocalFile(output)};
        MuxRequest later = request;
        later.outputFolder = QUrl::fromLocalFile(laterOutput);
        QFuture<MuxResult> queued, afterCancel;
        const QFuture<MuxResult> running = executor.mux(request, [&](double) {
            if (queued.isValid())
                return;
            queued = executor.mux(request, {});
            executor.cancel();
            afterCancel = executor.mux(later, {});
        });
        QVERIFY(QTest::qWaitFor([&] { return afterCancel.isValid() && afterCancel.isFinished(); },
                                60000));
        for (const QFuture<MuxResult> &cancelled : {running, queued}) {
            try {
                cancelled.result();
                QFAIL("a pair asked for before the cancel ran to its end");
            } catch (const MuxError &error) {
                QCOMPARE(error.kind(), MuxError::Kind::cancelled);
            }
        }
        QCOMPARE(folderEntries(output), QStringList());
        QCOMPARE(afterCancel.result().outputURL.toLocalFile(),
                 QDir(laterOutput).filePath(u"S01E02 - Der Anfang.mkv"_s));
    }

    // mkvmerge reads an unmarked UTF-16 sidecar from a marked copy; its warning names the
    // user's file.
    void warningNamesTheUsersSidecar()
    {
        const QTemporaryDir sidecars;
        const QString sidecar = sidecars.filePath(u"S01E02.en.srt"_s);
        // Out of order: mkvmerge warns that it sorts the entries.
        writeTestFile(sidecar, QStringEncoder(QStringConverter::Utf16LE)(
                                   u"1\r\n00:00:02,000 --> 00:00:03,000\r\nB\r\n\r\n"
                                   u"2\r\n00:00:00,500 --> 00:00:01,000\r\nA\r\n"_s));
        EpisodePair pair = m_pair;
        pair.primary->sidecarSubtitles = {QUrl::fromLocalFile(sidecar)};
        MuxExecutor executor;
        const MuxOutcome outcome = muxAndWait(executor, pair, m_primaryInspection,
                                              m_localizedInspection, newOutputFolder());
        QVERIFY2(outcome.result, qPrintable(outcome.error));
        QCOMPARE(outcome.result->warnings.size(), 1);
        QVERIFY2(outcome.result->warnings.first().startsWith(u"Warning: '"_s + sidecar + u"'"_s),
                 qPrintable(outcome.result->warnings.first()));
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
            {m_pair, m_primaryInspection, m_localizedInspection, QUrl::fromLocalFile(output)}, {});
        const pid_t extraction = hangingToolProcess(mkvextract);
        QVERIFY(extraction > 0);
        executor.reset();
        QVERIFY(pending.isFinished());
        QCOMPARE(::kill(extraction, 0), -1);
        QVERIFY(!QFile::exists(locations.bundledMkvmerge + u".ran"_s));
        QCOMPARE(folderEntries(output), QStringList());
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
        QTest::newRow("exit status 2: the output without progress, its error first")
            << u"echo 'mkvmerge v1'\nprintf '  Progress: 40%%\\r'\necho 'Error: kaputt' >&2\n"
               u"echo data > \"$output\"\nexit 2\n"_s
            << u"Muxen fehlgeschlagen: Error: kaputt\nmkvmerge v1"_s << QList<double>{0.4}
            << QStringList();
        QTest::newRow("killed by a signal: its output, then the signal")
            << u"echo 'Warnung: w'\nprintf 'Progress: 1%%\r'\necho data > \"$output\"\n"
               u"kill -KILL $$\n"_s
            << u"Muxen fehlgeschlagen: Warnung: w (mkvmerge wurde durch Signal 9 beendet)"_s
            << QList<double>{0.01} << QStringList();
        const QByteArray noInterpreter = "#!/nonexistent/interpreter";
        QProcess unstartable; // gives the platform's reason
        unstartable.start(writeFakeTool(m_root.filePath(u"unstartable"_s), noInterpreter));
        unstartable.waitForStarted();
        QTest::newRow("cannot be started")
            << QString::fromUtf8(noInterpreter)
            << u"Muxen fehlgeschlagen: mkvmerge ließ sich nicht starten: "_s +
                   unstartable.errorString()
            << QList<double>{}
            << QStringList();
    }

    void toolOutcomes()
    {
        QFETCH(QString, script);
        QFETCH(QString, expectedError);
        QFETCH(QList<double>, expectedFractions);
        QFETCH(QStringList, expectedWarnings);
        ToolLocations tools = ToolLocations::platformDefault();
        // A row with a "#!" line of its own is the whole script.
        const QByteArray body = script.toUtf8();
        tools.bundledMkvmerge =
            writeFakeTool(newOutputFolder() + u"/mkvmerge"_s,
                          script.startsWith(u"#!") ? body : fakeMkvmergePrelude + body);
        MuxExecutor executor(tools);
        const QString output = newOutputFolder();
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output);
        QCOMPARE(outcome.error, expectedError);
        QCOMPARE(outcome.fractions, expectedFractions);
        QCOMPARE(outcome.result ? outcome.result->warnings : QStringList(), expectedWarnings);
        QCOMPARE(folderEntries(output), expectedError.isEmpty()
                                            ? QStringList{u"S01E02 - Der Anfang.mkv"_s}
                                            : QStringList());
    }

    // Whatever takes the output name while mkvmerge writes stays as it is: here a dangling
    // link to a place outside the output folder, which a check for an existing file misses.
    void nameTakenWhileMkvmergeRuns()
    {
        MuxExecutor executor;
        const QString output = newOutputFolder();
        const QString target = QDir(output).filePath(u"S01E02 - Der Anfang.mkv"_s);
        const QString linkTarget = output + u"-link-target"_s;
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output, [&] {
                if (!QFileInfo(target).isSymLink())
                    QVERIFY(QFile::link(linkTarget, target));
            });
        QCOMPARE(outcome.error, u"Die Ausgabedatei existiert bereits: S01E02 - Der Anfang.mkv"_s);
        QCOMPARE(folderEntries(output), QStringList{u"S01E02 - Der Anfang.mkv"_s});
        QVERIFY(QFileInfo(target).isSymLink());
        QVERIFY(!QFileInfo::exists(linkTarget));
    }

    // Moved, and a new folder made at its path: the pair writes into neither.
    void outputFolderMovedDuringThePair()
    {
        MuxExecutor executor;
        const QString output = newOutputFolder();
        const QString moved = output + u"-verschoben"_s;
        const MuxOutcome outcome =
            muxAndWait(executor, m_pair, m_primaryInspection, m_localizedInspection, output, [&] {
                if (QDir().rename(output, moved))
                    QVERIFY(QDir().mkdir(output));
            });
        QCOMPARE(outcome.error, u"Muxen fehlgeschlagen: Der Ausgabeordner wurde während des "
                                u"Muxens verschoben oder entfernt: "_s +
                                    output);
        QVERIFY(QFileInfo(moved).isDir());
        QCOMPARE(folderEntries(moved), QStringList());
        QCOMPARE(folderEntries(output), QStringList());
    }

    // The folder-2 file changed since the analysis, before the pair or while mkvmerge reads
    // it, or input that mkvmerge or the output folder cannot serve.
    void badInput_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("whileMkvmergeRuns");
        QTest::addColumn<MuxError::Kind>("kind");
        QTest::addColumn<QString>("mentioned"); // in the error's text
        const auto changed = MuxError::Kind::sourceChanged, failed = MuxError::Kind::failed;
        const QString changedText = u"S01E02.mkv: Die Datei wurde seit der Analyse verändert. "
                                    u"Bitte erneut analysieren."_s;
        QTest::newRow("replaced by a named pipe") << u"pipe"_s << false << changed << changedText;
        QTest::newRow("truncated while mkvmerge reads it")
            << u"truncate"_s << true << changed << changedText;
        QTest::newRow("output folder missing")
            << u"no output folder"_s << false << failed << u"Der Ausgabeordner fehlt: "_s;
        QTest::newRow("the inspection names an audio track the file lacks")
            << u"unknown track"_s << false << failed
            << u"A track with the ID 7 was requested but not found"_s;
    }

    void badInput()
    {
        QFETCH(QString, damage);
        QFETCH(bool, whileMkvmergeRuns);
        QFETCH(MuxError::Kind, kind);
        QFETCH(QString, mentioned);
        QTemporaryDir sources;
        const QString localized = sources.filePath(u"S01E02.mkv"_s);
        QVERIFY(QFile::copy(m_pair.localized->url.toLocalFile(), localized));
        EpisodePair pair = m_pair;
        pair.localized = MediaFile{QUrl::fromLocalFile(localized), SourceKind::localized};
        SourceFingerprints seen;
        recordFingerprints({pair}, seen);
        std::optional<MediaInspection> localizedInspection = m_localizedInspection;
        QString output = newOutputFolder();
        bool damaged = false;
        const auto damageInput = [&] {
            if (std::exchange(damaged, true))
                return;
            if (damage == u"pipe")
                QVERIFY(QFile::remove(localized) &&
                        ::mkfifo(QFile::encodeName(localized).constData(), 0600) == 0);
            else if (damage == u"truncate")
                QVERIFY(QFile::resize(localized, QFileInfo(localized).size() / 2));
            else if (damage == u"unknown track")
                localizedInspection->tracks << MediaTrack{7, TrackType::audio, u"AC-3"_s, u"ger"_s};
            else
                output += u"/fehlt"_s;
        };
        if (!whileMkvmergeRuns)
            damageInput();

        MuxExecutor executor;
        const MuxOutcome outcome = muxAndWait(
            executor, pair, m_primaryInspection, localizedInspection, output,
            [&] {
                if (whileMkvmergeRuns)
                    damageInput();
            },
            seen);
        QCOMPARE(outcome.errorKind, std::optional(kind));
        QVERIFY2(outcome.error.contains(mentioned), qPrintable(outcome.error));
        // The tool reaches the output folder through a descriptor; the user reads its real path.
        QVERIFY2(!outcome.error.contains(u"/proc/"_s), qPrintable(outcome.error));
        QCOMPARE(folderEntries(output), QStringList());
        QCOMPARE(folderEntries(sources.path()).filter(u".Spurenflechter"_s), QStringList());
    }

    void progressLines_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<int>>("reported");

        using Chunks = QList<QByteArray>;
        QTest::newRow("same percentage twice")
            << Chunks{"Progress: 7%\r", "Progress: 7%\r"} << QList<int>{7};
        QTest::newRow("German wording") << Chunks{"Fortschritt: 40%\r"} << QList<int>{40};
        QTest::newRow("line split across chunks")
            << Chunks{"Progress: 3", "4%\rProg", "ress: 35%\r"} << QList<int>{34, 35};
        QTest::newRow("last line not yet ended")
            << Chunks{"Progress: 10%\rProgress: 11%"} << QList<int>{11};
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
    }
};

QTEST_GUILESS_MAIN(MuxExecutorTest)
#include "tst_muxexecutor.moc"
