// One pair's mux: the file it writes, how it takes its name, how mkvmerge's endings read.
#include "mux/OutputDirectory.h"
#include "mux/ProgressScanner.h"
#include "MuxOutcome.h"
#include "MuxPairFixture.h"
#include "support/FakeTool.h"

#include <QProcess>
#include <QStringEncoder>

#include <cerrno>

using namespace Qt::Literals::StringLiterals;

using Outcome = OutputDirectory::MoveOutcome;

class MuxExecutorTest final : public QObject, MuxPairFixture {
    Q_OBJECT

private slots:
    void initTestCase() { makePair(); }

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
            << QList<double>{} << QStringList();
    }

    void toolOutcomes()
    {
        QFETCH(QString, script);
        QFETCH(QString, expectedError);
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
        QTEST(outcome.fractions, "expectedFractions");
        QTEST(outcome.result ? outcome.result->warnings : QStringList(), "expectedWarnings");
        QCOMPARE(folderEntries(output), expectedError.isEmpty()
                                            ? QStringList{u"S01E02 - Der Anfang.mkv"_s}
                                            : QStringList());
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
        ProgressScanner scanner;
        QList<int> seen;
        for (const QByteArray &chunk : chunks) {
            if (const std::optional<int> percentage = scanner.take(chunk))
                seen << *percentage;
        }
        QTEST(seen, "reported");
    }

    // Neither a rename without replacing nor a hard link: an empty placeholder of our own
    // takes the name first, and only that placeholder is replaced.
    void placeholderFallback_data()
    {
        QTest::addColumn<QString>("before");       // what holds the name beforehand
        QTest::addColumn<bool>("intrudes");        // another file replaces the placeholder
        QTest::addColumn<int>("placeholderRefusal");
        QTest::addColumn<Outcome>("expected");
        QTest::addColumn<QString>("finalContent"); // of the name afterwards
        QTest::newRow("free name") << QString() << false << 0 << Outcome::moved << u"ours"_s;
        QTest::newRow("name taken") << u"theirs"_s << false << 0 << Outcome::nameTaken
                                    << u"theirs"_s;
        QTest::newRow("placeholder replaced by another file")
            << QString() << true << 0 << Outcome::nameTaken << u"theirs"_s;
        QTest::newRow("no placeholder either")
            << QString() << false << EACCES << Outcome::failed << QString();
    }

    void placeholderFallback()
    {
        QFETCH(QString, before);
        QFETCH(bool, intrudes);
        QFETCH(int, placeholderRefusal);
        QFETCH(Outcome, expected);
        QFETCH(QString, finalContent);
        QTemporaryDir folder;
        const QString target = folder.filePath(u"S01E01.mkv"_s);
        writeTestFile(folder.filePath(u".ours.mkv"_s), "ours");
        if (!before.isEmpty())
            writeTestFile(target, before.toUtf8());
        OutputDirectory directory(folder.path());
        directory.simulateRefusals({EINVAL, EPERM, placeholderRefusal, [&] {
                                        if (intrudes)
                                            QVERIFY(QFile::remove(target) &&
                                                    !writeTestFile(target, "theirs").isEmpty());
                                    }});
        QString error;
        QCOMPARE(directory.moveWithoutReplacing(u".ours.mkv"_s, u"S01E01.mkv"_s, error), expected);
        QFile result(target);
        QCOMPARE(result.open(QIODevice::ReadOnly) ? QString::fromUtf8(result.readAll()) : QString(),
                 finalContent);
        if (expected == Outcome::failed)
            QCOMPARE(error, u"Das Dateisystem des Ausgabeordners verweigert das Umbenennen ohne "
                            u"Ersetzen (%1), feste Verknüpfungen (%2) und das Ersetzen eines "
                            u"eigenen Platzhalters (%3)."_s.arg(qt_error_string(EINVAL),
                                                                qt_error_string(EPERM),
                                                                qt_error_string(EACCES)));
    }
};

QTEST_GUILESS_MAIN(MuxExecutorTest)
#include "tst_muxexecutor.moc"
