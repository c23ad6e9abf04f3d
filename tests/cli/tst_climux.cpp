#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// `spurenflechter-cli mux` as a script sees it: a real process, real mkvmerge, real files.
class CliMuxTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_temporaryDirectory; // the temporary directory the front end sees

    QProcess *start(const QStringList &arguments)
    {
        auto *process = new QProcess(this);
        process->setWorkingDirectory(m_dir.path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TMPDIR"_s, m_temporaryDirectory);
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral(SPURENFLECHTER_CLI), arguments);
        return process;
    }

    std::tuple<int, QString, QString> run(const QStringList &arguments)
    {
        std::unique_ptr<QProcess> process(start(arguments));
        process->waitForFinished(-1);
        return {process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1,
                QString::fromUtf8(process->readAllStandardOutput()),
                QString::fromUtf8(process->readAllStandardError())};
    }

private slots:
    void initTestCase()
    {
        m_temporaryDirectory = m_dir.filePath(u"tmp"_s);
        for (const QString &folder : {u"eng"_s, u"deu"_s, u"out"_s, u"big-eng"_s, u"big-deu"_s,
                                      u"tmp"_s, u"season-eng"_s, u"season-deu"_s})
            QVERIFY(QDir(m_dir.path()).mkdir(folder));
        // 4.0 s against 3.84 s: a PAL release.
        for (const QString &name : {u"eng/S01E01.mkv"_s, u"eng/S01E02.mkv"_s, u"eng/S01E03.mkv"_s})
            QCOMPARE(makeTestMatroska(m_dir.filePath(name), {4.0, {{u"eng"_s}}}), QString());
        for (const QString &name : {u"deu/S01E01 - Pilot.mkv"_s, u"deu/S01E02.mkv"_s})
            QCOMPARE(makeTestMatroska(m_dir.filePath(name), {3.84, {{u"ger"_s}}}), QString());

        // Four pairs of different layouts: PAL, a sidecar subtitle, two English tracks, a
        // forced subtitle.
        const TestTrack eng{u"eng"_s}, ger{u"ger"_s};
        const QList<std::pair<QString, TestMediaLayout>> season{
            {u"eng/S01E01.mkv"_s, {4.0, {eng}, {eng}}},
            {u"deu/S01E01.mkv"_s, {3.84, {ger, {u"ger"_s, u"Kommentar"_s}}, {ger}}},
            {u"eng/S01E02.mkv"_s, {4.0, {eng}}},
            {u"deu/S01E02.mkv"_s, {4.0, {ger}}},
            {u"eng/S01E03.mkv"_s, {2.0, {eng, eng}}},
            {u"deu/S01E03.mkv"_s, {2.0, {ger}}},
            {u"eng/S01E04.mkv"_s, {2.0, {eng}}},
            {u"deu/S01E04.mkv"_s, {2.0, {ger}, {{u"ger"_s, {}, false, true}}}}};
        for (const auto &[name, layout] : season)
            QCOMPARE(makeTestMatroska(m_dir.filePath(u"season-"_s + name), layout), QString());
        QVERIFY(writeTestSubtitle(m_dir.filePath(u"season-deu/S01E02.de.srt"_s)));

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
        const auto [status, out, err] = run({u"mux"_s, u"eng"_s, u"deu"_s, u"out"_s});
        QVERIFY2(status == 0, qPrintable(out));
        const QString pal = u"PAL-Speedup der deutschen Audio- und Untertitelspuren automatisch "
                            u"korrigiert (Faktor 1.042708)."_s;
        QCOMPARE(out.section(u"\n\n"_s, 0, 0),
                 u"S01E01\tS01E01.mkv\tS01E01 - Pilot.mkv\tS01E01 - Pilot.mkv\tBereit\n"
                 u"S01E02\tS01E02.mkv\tS01E02.mkv\tS01E02.mkv\tBereit\n"
                 u"S01E03\tS01E03.mkv\t–\tS01E03.mkv\tDatei in Ordner 2 fehlt"_s);
        // Running times 0.16 s apart give no finding of the analysis, but the mux still
        // corrects the speed-up.
        QCOMPARE(out.section(u"\n\n"_s, 1).split(u'\n', Qt::SkipEmptyParts),
                 (QStringList{u"[Hinweis] S01E01: "_s + pal,
                              u"[Hinweis] S01E01: Erstellt: S01E01 - Pilot.mkv"_s,
                              u"[Hinweis] S01E02: "_s + pal,
                              u"[Hinweis] S01E02: Erstellt: S01E02.mkv"_s}));
        // Not a terminal: one line each time the status changes.
        const QStringList steps = err.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(steps.size(), 4);
        QVERIFY(steps.at(0).startsWith(u"Analysiere "_s));
        QVERIFY(steps.at(1).startsWith(u"S01E01 (1 von 2) – 0 %"_s));
        QVERIFY(steps.at(2).startsWith(u"S01E02 (2 von 2) – 50 %"_s));
        QCOMPARE(steps.at(3), u"Abgeschlossen"_s);
        QCOMPARE(entriesOf(m_dir.filePath(u"out"_s)),
                 (QStringList{u"S01E01 - Pilot.mkv"_s, u"S01E02.mkv"_s}));
        QCOMPARE(entriesOf(m_temporaryDirectory), QStringList());
    }

    void restorePitchOption()
    {
        QVERIFY(QDir(m_dir.path()).mkdir(u"pitch"_s));
        const auto [status, out, err] =
            run({u"--restore-pitch"_s, u"mux"_s, u"eng"_s, u"deu"_s, u"pitch"_s});
        QVERIFY2(status == 0, qPrintable(out + err));
        for (const QString &episode : {u"S01E01"_s, u"S01E02"_s})
            QVERIFY2(out.contains(u"[Hinweis] %1: Deutsche Tonspur auf Filmgeschwindigkeit und "
                                  u"Originaltonhöhe gebracht (AC-3, 32 kbit/s).\n"_s.arg(episode)),
                     qPrintable(out));
        QCOMPARE(entriesOf(m_dir.filePath(u"pitch"_s)).size(), 2);
        QCOMPARE(entriesOf(m_temporaryDirectory), QStringList());
    }

    // Runs after the first: nothing is overwritten, and the failures make the exit status 1.
    void existingFilesStay()
    {
        const QString existing = m_dir.filePath(u"out/S01E02.mkv"_s);
        const QByteArray before =
            QCryptographicHash::hash(contentsOf(existing), QCryptographicHash::Sha256);
        const auto [status, out, err] = run({u"--json"_s, u"mux"_s, u"eng"_s, u"deu"_s, u"out"_s});
        QCOMPARE(status, 1);
        QStringList errors;
        for (const QJsonValue &issue : QJsonDocument::fromJson(out.toUtf8())[u"issues"].toArray()) {
            if (issue[u"severity"].toString() == u"error")
                errors << issue[u"message"].toString();
        }
        QCOMPARE(errors,
                 (QStringList{u"S01E01: Die Ausgabedatei existiert bereits: S01E01 - Pilot.mkv"_s,
                              u"S01E02: Die Ausgabedatei existiert bereits: S01E02.mkv"_s}));
        QCOMPARE(QCryptographicHash::hash(contentsOf(existing), QCryptographicHash::Sha256),
                 before);
    }

    // Three pairs at a time give what one pair after another gives: the same report and the
    // same files with the same tracks.
    void jobsChangeOnlyTheTime()
    {
        QStringList results;
        for (const QString &jobs : {u"1"_s, u"3"_s}) {
            const QString output = m_dir.filePath(u"season-jobs-"_s + jobs);
            QVERIFY(QDir().mkpath(output));
            const auto [status, out, err] =
                run({u"--jobs"_s, jobs, u"mux"_s, u"season-eng"_s, u"season-deu"_s, output});
            QVERIFY2(status == 0, qPrintable(out));
            QCOMPARE(entriesOf(output).size(), 4);
            QString result = out;
            for (const QString &name : entriesOf(output))
                result +=
                    name + u'\n' + trackLayout(QDir(output).filePath(name)).join(u'\n') + u'\n';
            results << result;
        }
        QCOMPARE(results.at(1), results.at(0));
    }

    void interrupted_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("jobs");
        QTest::addColumn<int>("exitStatus");
        QTest::addColumn<QStringList>("cancelledPairs");
        const QStringList first{u"S01E01"_s};
        QTest::newRow("Ctrl+C") << SIGINT << 1 << 1 << 130 << first;
        QTest::newRow("Ctrl+C twice in quick succession") << SIGINT << 2 << 1 << 130 << first;
        QTest::newRow("SIGTERM") << SIGTERM << 1 << 1 << 143 << first;
        QTest::newRow("SIGQUIT") << SIGQUIT << 1 << 1 << 131 << first;
        QTest::newRow("Ctrl+C, three pairs at once")
            << SIGINT << 1 << 3 << 130 << QStringList{u"S01E01"_s, u"S01E02"_s, u"S01E03"_s};
    }

    // Every running mkvmerge stops, its temporary file goes, and the results so far are printed.
    void interrupted()
    {
        QFETCH(int, signal);
        QFETCH(int, count);
        QFETCH(int, jobs);
        QFETCH(int, exitStatus);
        QFETCH(QStringList, cancelledPairs);
        const QString output =
            m_dir.filePath(u"interrupted-%1-%2-%3"_s.arg(signal).arg(count).arg(jobs));
        QVERIFY(QDir().mkpath(output));
        std::unique_ptr<QProcess> process(start(
            {u"--jobs"_s, QString::number(jobs), u"mux"_s, u"big-eng"_s, u"big-deu"_s, output}));
        // The option files of the muxing mkvmerge lie in the temporary directory.
        QVERIFY(QTest::qWaitFor(
            [&] { return processesNaming(m_temporaryDirectory).size() == jobs; }, 60000));
        for (int i = 0; i < count; ++i)
            ::kill(process->processId(), signal);
        QVERIFY(process->waitForFinished(30000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), exitStatus);
        QString cancelled;
        for (const QString &pair : cancelledPairs)
            cancelled += u"[Hinweis] Verarbeitung nach %1 abgebrochen.\n"_s.arg(pair);
        QVERIFY(process->readAllStandardOutput().endsWith(cancelled.toUtf8()));
        QCOMPARE(entriesOf(output), QStringList());
        QCOMPARE(entriesOf(m_temporaryDirectory), QStringList());
        QCOMPARE(processesNaming(m_temporaryDirectory), QStringList());
    }

    // A closed terminal: SIGHUP reaches the whole process group, mkvmerge included, and the
    // terminal is gone before the report is written.
    void terminalClosed()
    {
        const QString output = m_dir.filePath(u"hangup"_s);
        QVERIFY(QDir().mkpath(output));
        // Everything the child needs is made before the fork; it inherits the environment.
        qputenv("TMPDIR", QFile::encodeName(m_temporaryDirectory));
        QByteArrayList arguments{
            SPURENFLECHTER_CLI, "mux", QFile::encodeName(m_dir.filePath(u"big-eng"_s)),
            QFile::encodeName(m_dir.filePath(u"big-deu"_s)), QFile::encodeName(output)};
        std::vector<char *> argv;
        for (QByteArray &argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);

        int terminal = -1;
        const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
        if (pid == 0) {
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        QVERIFY(pid > 0);
        QByteArray shown;
        QDeadlineTimer deadline(60000);
        while (!shown.contains("(1 von 3)") && !deadline.hasExpired()) {
            pollfd readable{terminal, POLLIN, 0};
            char bytes[512];
            const ssize_t count =
                ::poll(&readable, 1, 100) > 0 ? ::read(terminal, bytes, sizeof bytes) : 0;
            if (count < 0)
                break;
            shown.append(bytes, count);
        }
        QVERIFY2(shown.contains("(1 von 3)"), shown.constData());
        QCOMPARE(::killpg(pid, SIGHUP), 0);
        ::close(terminal);

        int status = 0;
        QVERIFY(QTest::qWaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 30000));
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 128 + SIGHUP);
        QCOMPARE(entriesOf(output), QStringList());
        QCOMPARE(entriesOf(m_temporaryDirectory), QStringList());
        QCOMPARE(processesNaming(m_temporaryDirectory), QStringList());
    }
};

QTEST_GUILESS_MAIN(CliMuxTest)
#include "tst_climux.moc"
