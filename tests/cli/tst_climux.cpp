// The command line's mux as a script sees it: real process, real mkvmerge, signals.
#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

// `spurenflechter-cli mux` as a script sees it: a real process, real mkvmerge, real files.
class CliMuxTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_temporaryDirectory; // the temporary directory the front end sees

    // Started as a shell starts a job: in a process group of its own, so that a signal to the
    // group reaches the tools too. With `outputGone`, nothing reads standard output any more, as
    // after the terminal was closed.
    QProcess *start(const QStringList &arguments, bool outputGone = false)
    {
        auto *process = new QProcess(this);
        process->setWorkingDirectory(m_dir.path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TMPDIR"_s, m_temporaryDirectory);
        process->setProcessEnvironment(environment);
        process->setChildProcessModifier([outputGone] {
            ::setsid();
            int unread[2];
            if (outputGone && ::pipe(unread) == 0) {
                ::close(unread[0]);
                ::dup2(unread[1], STDOUT_FILENO);
            }
        });
        process->start(QStringLiteral(SPURENFLECHTER_CLI), arguments);
        return process;
    }

private slots:
    void initTestCase()
    {
        m_temporaryDirectory = m_dir.filePath(u"tmp"_s);
        for (const QString &folder :
             {u"eng"_s, u"deu"_s, u"out"_s, u"big-eng"_s, u"big-deu"_s, u"tmp"_s})
            QVERIFY(QDir(m_dir.path()).mkdir(folder));
        // 4.0 s against 3.84 s: a PAL release.
        for (const QString &name : {u"eng/S01E01.mkv"_s, u"eng/S01E02.mkv"_s, u"eng/S01E03.mkv"_s})
            QCOMPARE(makeTestMatroska(m_dir.filePath(name), {4.0, {{u"eng"_s}}}), QString());
        for (const QString &name : {u"deu/S01E01 - Pilot.mkv"_s, u"deu/S01E02.mkv"_s})
            QCOMPARE(makeTestMatroska(m_dir.filePath(name), {3.84, {{u"ger"_s}}}), QString());

        // Pairs large enough that mkvmerge is still at work when the signal comes.
        const QString big = m_dir.filePath(u"big-eng/S01E01.mkv"_s);
        QProcess ffmpeg;
        ffmpeg.start(u"/usr/bin/ffmpeg"_s,
                     u"-nostdin -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=25 -t 40 "
                     u"-c:v mpeg4 -q:v 2"_s.split(u' ')
                         << big);
        QVERIFY(ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0);
        QCOMPARE(makeTestMatroska(m_dir.filePath(u"big-deu/S01E01.mkv"_s), {4.0, {{u"ger"_s}}}),
                 QString());
        for (const QString &folder : {u"big-eng/"_s, u"big-deu/"_s}) {
            for (const QString &episode : {u"S01E02.mkv"_s, u"S01E03.mkv"_s})
                QVERIFY(QFile::link(m_dir.filePath(folder + u"S01E01.mkv"_s),
                                    m_dir.filePath(folder + episode)));
        }
    }

    void muxesEveryReadyPair()
    {
        std::unique_ptr<QProcess> process(
            start({u"--restore-pitch"_s, u"mux"_s, u"eng"_s, u"deu"_s, u"out"_s}));
        process->waitForFinished(-1);
        const QString out = QString::fromUtf8(process->readAllStandardOutput());
        const QString err = QString::fromUtf8(process->readAllStandardError());
        QVERIFY2(process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0,
                 qPrintable(out + err));
        const QString pal = u"PAL-Speedup der deutschen Audio- und Untertitelspuren automatisch "
                            u"korrigiert (Faktor 1.042708)."_s;
        const QString pitch = u"Deutsche Tonspur auf Filmgeschwindigkeit und Originaltonhöhe "
                              u"gebracht (AC-3, 32 kbit/s)."_s;
        // Too short for the pitch to be heard, so it is assumed raised and the user told so.
        const QString unsurePitch =
            u"Die Tonhöhe der deutschen Tonspur ließ sich nicht sicher bestimmen."_s;
        // Running times 0.16 s apart give no finding of the analysis, but the mux still
        // corrects the speed-up.
        QCOMPARE(
            out.split(u'\n'),
            (QStringList{u"S01E01\tS01E01.mkv\tS01E01 - Pilot.mkv\tS01E01 - Pilot.mkv\tBereit"_s,
                         u"S01E02\tS01E02.mkv\tS01E02.mkv\tS01E02.mkv\tBereit"_s,
                         u"S01E03\tS01E03.mkv\t–\tS01E03.mkv\tDatei in Ordner 2 fehlt"_s, u""_s,
                         u"[Hinweis] S01E01: "_s + unsurePitch, u"[Hinweis] S01E02: "_s + unsurePitch,
                         u"[Hinweis] S01E01: "_s + pal, u"[Hinweis] S01E01: "_s + pitch,
                         u"[Hinweis] S01E01: Erstellt: S01E01 - Pilot.mkv"_s,
                         u"[Hinweis] S01E02: "_s + pal, u"[Hinweis] S01E02: "_s + pitch,
                         u"[Hinweis] S01E02: Erstellt: S01E02.mkv"_s, u""_s}));
        // Not a terminal: one line each time the status changes.
        QCOMPARE(QString(err).remove(QRegularExpression(u" – Gesamtrestzeit: .*"_s)),
                 u"Analysiere 1 von 5 …\nS01E01 (1 von 2) – 0 %\nS01E02 (2 von 2) – 50 %\n"
                 u"Abgeschlossen\n"_s);
        QCOMPARE(folderEntries(m_dir.filePath(u"out"_s)),
                 (QStringList{u"S01E01 - Pilot.mkv"_s, u"S01E02.mkv"_s}));
        QCOMPARE(folderEntries(m_temporaryDirectory), QStringList());
    }

    void interrupted_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("jobs");
        QTest::addColumn<bool>("terminalClosed"); // the whole group gets the signal, output is gone
        QTest::addColumn<QString>("cancelled");   // the report's last line
        const QString first = u"[Hinweis] Verarbeitung nach S01E01 abgebrochen.\n"_s;
        QTest::newRow("Ctrl+C") << SIGINT << 1 << 1 << false << first;
        QTest::newRow("Ctrl+C twice in quick succession") << SIGINT << 2 << 1 << false << first;
        QTest::newRow("Ctrl+C, three pairs at once")
            << SIGINT << 1 << 3 << false
            << u"[Hinweis] Verarbeitung abgebrochen; nicht fertig geworden: S01E01, S01E02, "
               u"S01E03.\n"_s;
        // mkvmerge ends of the signal itself; the report cannot be written.
        QTest::newRow("terminal closed") << SIGHUP << 1 << 1 << true << QString();
    }

    // Every running mkvmerge stops, its temporary file goes, and the results so far are printed.
    void interrupted()
    {
        QFETCH(int, signal);
        QFETCH(int, count);
        QFETCH(int, jobs);
        QFETCH(bool, terminalClosed);
        QFETCH(QString, cancelled);
        const QString output = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(output));
        std::unique_ptr<QProcess> process(start(
            {u"--jobs"_s, QString::number(jobs), u"mux"_s, u"big-eng"_s, u"big-deu"_s, output},
            terminalClosed));
        // The option files of the muxing mkvmerge lie in the temporary directory.
        QVERIFY(QTest::qWaitFor(
            [&] { return processesNaming(m_temporaryDirectory).size() == jobs; }, 60000));
        for (int i = 0; i < count; ++i)
            terminalClosed ? ::killpg(process->processId(), signal)
                           : ::kill(process->processId(), signal);
        QVERIFY(process->waitForFinished(30000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 128 + signal);
        QVERIFY(process->readAllStandardOutput().endsWith(cancelled.toUtf8()));
        QCOMPARE(folderEntries(output), QStringList());
        QCOMPARE(folderEntries(m_temporaryDirectory), QStringList());
        QCOMPARE(processesNaming(m_temporaryDirectory), QStringList());
    }
};

QTEST_GUILESS_MAIN(CliMuxTest)
#include "tst_climux.moc"
