// One pair's mux stopped or disturbed: cancel, destruction, its output or source changed.
#include "MuxOutcome.h"
#include "MuxPairFixture.h"
#include "support/FakeTool.h"

#include <csignal>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

class MuxCancelTest final : public QObject, MuxPairFixture {
    Q_OBJECT

private slots:
    void initTestCase() { makePair(); }

    void cleanup()
    {
        // Whatever a case did, no option file or extraction folder may stay behind.
        QCOMPARE(folderEntries(m_temporaryDirectory), QStringList());
    }

    // A cancel reaches the running pair and one queued behind it, but not a pair asked for
    // after it, which starts afresh. (A silent tool is stopped by the same flag: see the
    // child-process and mux-run tests.)
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
};

QTEST_GUILESS_MAIN(MuxCancelTest)
#include "tst_muxcancel.moc"
