// Running tools as children: endings, failure texts, language, locating, temporary folder.
#include "support/FakeTool.h"
#include "tools/ChildProcess.h"
#include "tools/TemporaryFolder.h"
#include "tools/TerminationRequest.h"
#include "tools/ToolDiscovery.h"
#include "tools/ToolLanguage.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// A descriptor that this process opened without O_CLOEXEC.
constexpr int leakyDescriptor = 100;

// "exit N" or "signal N", then whether the stop flag or the time limit ended the child.
QString endingOf(const ChildOutcome &outcome)
{
    QString ending =
        outcome.signal ? u"signal %1"_s.arg(*outcome.signal) : u"exit %1"_s.arg(outcome.exitCode);
    if (outcome.stopped)
        ending += u", stopped"_s;
    if (outcome.timedOut)
        ending += u", timed out"_s;
    return ending;
}

// A process that exists and is not a zombie.
bool isRunning(pid_t pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    return stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ");
}

} // namespace

Q_DECLARE_METATYPE(ChildOutcome)

// Running a child, finding the tools and the temporary folder. Shell scripts stand in for
// the tools.
class ToolsTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        // A locale the system lacks, as in many containers: mkvmerge aborts in one.
        qputenv("LC_ALL", "xx_XX.UTF-8");
        // Names "host-arch" unless the target's path ends in "foreign"; like the real `file`,
        // echoes the path unless told "-b" and calls a link a link unless told "-L".
        writeFakeTool(path(u"file"_s),
                      "for a; do case $a in -b) b=1;; -L) l=1;; *) p=$a;; esac; done\n"
                      "[ $b ] || printf '%s: ' \"$p\"\n"
                      "[ -L \"$p\" ] && [ -z \"$l\" ] && { echo 'symbolic link'; exit; }\n"
                      "case $(readlink -f \"$p\") in *foreign) echo 'ELF, other-arch' ;;\n"
                      "*) echo 'ELF, host-arch' ;; esac");
        for (const QString &folder : {u"host-arch"_s, u"tmp"_s, u"fallback"_s})
            QVERIFY(QDir(m_dir.path()).mkdir(folder));
        for (const QString &name : {u"host"_s, u"foreign"_s, u"host-arch/foreign"_s})
            writeFakeTool(path(name), "exit 0");
        QVERIFY(
            QFile::setPermissions(writeFakeTool(path(u"noexec"_s), "exit 0"), QFile::ReadOwner));
        QVERIFY(QFile::link(path(u"host"_s), path(u"link"_s)));

        const int descriptor = ::open("/dev/null", O_RDONLY);
        QVERIFY(descriptor >= 0 && ::dup2(descriptor, leakyDescriptor) == leakyDescriptor);
        ::close(descriptor);
    }

    // What the tools' own tests cannot show: how a child that will not end is ended, and
    // what it inherits.
    void childEndings_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<int>("timeLimitMilliseconds"); // 0: none
        QTest::addColumn<bool>("terminating");          // a stop signal reached the program
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QByteArray>("standardOutput");
        QTest::newRow("a descriptor opened without O_CLOEXEC stays out")
            << QByteArray("[ -e /proc/$$/fd/100 ] && echo inherited || echo kept out") << false << 0
            << false << u"exit 0"_s << QByteArray("kept out\n");
        QTest::newRow("real mkvmerge, the user's locale missing")
            << QByteArray("exec mkvmerge --version >/dev/null") << false << 0 << false
            << u"exit 0"_s << QByteArray();
        QTest::newRow("past the time limit")
            << hangingToolBody << false << 200 << false << u"signal 15, timed out"_s << QByteArray();
        // Ended by the time limit rather than a stop set from the start: a stop could reach
        // the shell before its trap is set.
        QTest::newRow("ignores SIGTERM: killed after the grace time")
            << QByteArray("trap '' TERM; exec sleep 600") << false << 1000 << false
            << u"signal 9, timed out"_s << QByteArray();
        // Ctrl+C to the process group can reach the tool before the program's own handler.
        QTest::newRow("Ctrl+C while the program stops: stopped")
            << QByteArray("kill -INT $$") << false << 0 << true << u"signal 2, stopped"_s
            << QByteArray();
        QTest::newRow("SIGINT from elsewhere: a failure")
            << QByteArray("kill -INT $$") << false << 0 << false << u"signal 2"_s << QByteArray();
        QTest::newRow("killed outright while the program stops: a failure")
            << QByteArray("kill -KILL $$") << false << 0 << true << u"signal 9"_s << QByteArray();
    }
    void childEndings()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, stop);
        QFETCH(int, timeLimitMilliseconds);
        QFETCH(bool, terminating);
        QFETCH(QString, ending);
        QFETCH(QByteArray, standardOutput);
        const StopFlag stopFlag{stop};
        terminationRequested = terminating;
        const auto reset = qScopeGuard([] { terminationRequested = false; });
        const ChildOutcome outcome = runChild({writeFakeTool(path(u"tool"_s), script),
                                               {},
                                               ChildOutput::separate,
                                               &stopFlag,
                                               timeLimitMilliseconds});
        QVERIFY(outcome.started);
        QCOMPARE(endingOf(outcome), ending);
        QCOMPARE(outcome.standardOutput, standardOutput);
    }

    // How every tool's failure reads; the mux and inspection tests show the other endings.
    void exitMessages_data()
    {
        QTest::addColumn<ChildOutcome>("outcome");
        QTest::addColumn<QString>("message");
        ChildOutcome outcome{u"ffmpeg"_s};
        outcome.started = true;
        outcome.standardError = "Fehlertext";
        outcome.timedOut = true;
        outcome.timeLimitMilliseconds = 1500;
        QTest::newRow("timed out")
            << outcome << u"ffmpeg lief länger als die erlaubten 2 s und wurde beendet."_s;
        outcome = ChildOutcome{u"mkvmerge"_s, ChildOutput::merged};
        outcome.started = true;
        outcome.standardOutput = "Fortschritt: 10%\r\nFehler: kaputt\n";
        outcome.exitCode = 2;
        QTest::newRow("mkvmerge in German: progress dropped") << outcome << u"Fehler: kaputt"_s;
    }
    void exitMessages()
    {
        QFETCH(ChildOutcome, outcome);
        QTEST(outcome.exitMessage(), "message");
    }

    // Killed outright, the program takes its running tool with it.
    void childDiesWithTheProgram()
    {
        const QString tool = writeFakeTool(path(u"orphan"_s), hangingToolBody);
        const pid_t program = ::fork();
        if (program == 0) {
            runChild({tool, {}});
            ::_exit(0);
        }
        const pid_t child = hangingToolProcess(tool);
        ::kill(program, SIGKILL);
        ::waitpid(program, nullptr, 0);
        QVERIFY(child > 0);
        const bool died = QTest::qWaitFor([&] { return !isRunning(child); }, 10000);
        ::kill(child, SIGKILL);
        QVERIFY(died);
    }

    // mkvmerge's warnings are recognised in English and German only.
    void toolLanguage_data()
    {
        QTest::addColumn<QString>("variables"); // NAME=value, space-separated
        QTest::addColumn<bool>("english");      // told to speak English
        QTest::newRow("French") << u"LANG=fr_FR.UTF-8"_s << true;
        QTest::newRow("German") << u"LANG=de_AT.UTF-8@euro"_s << false;
        QTest::newRow("English") << u"LANG=en_GB.UTF-8"_s << false;
        QTest::newRow("the C locale") << u"LANG=C.UTF-8"_s << false;
        QTest::newRow("nothing set") << QString() << false;
        QTest::newRow("LC_ALL German over LANG") << u"LC_ALL=de_DE LANG=fr_FR"_s << false;
        QTest::newRow("LC_MESSAGES Polish over LANG") << u"LC_MESSAGES=pl_PL LANG=de_DE"_s << true;
        QTest::newRow("an empty LC_ALL does not count") << u"LC_ALL= LANG=ja_JP"_s << true;
    }
    void toolLanguage()
    {
        QFETCH(QString, variables);
        QFETCH(bool, english);
        QProcessEnvironment environment;
        for (const QString &variable : variables.split(u' ', Qt::SkipEmptyParts))
            environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        const QStringList expected{u"--ui-language"_s, u"en_US"_s};
        QCOMPARE(uiLanguageArguments(environment), english ? expected : QStringList());
    }

    // The bundled mkvmerge first, unchecked; then the first candidate `file -b -L` accepts.
    void locateMkvmerge()
    {
        const auto located = [&](const QString &bundled, const QString &candidates,
                                 const QString &fileCommand = u"file"_s) {
            QStringList paths;
            for (const QString &candidate : candidates.split(u' '))
                paths << path(candidate);
            const auto url =
                ToolDiscovery({path(bundled), paths, {}, path(fileCommand), {u"host-arch"_s}})
                    .locateMkvmerge();
            return url ? url->fileName() : u"none"_s;
        };
        const QString all = u"missing noexec foreign host"_s;
        QCOMPARE(located({}, all), u"host"_s);
        QCOMPARE(located({}, u"host-arch/foreign"_s), u"none"_s); // marker in a folder name
        QCOMPARE(located({}, u"link"_s), u"link"_s);              // judged by its target
        QCOMPARE(located(u"foreign"_s, all), u"foreign"_s);
        QCOMPARE(located(u"noexec"_s, all), u"host"_s);
        QCOMPARE(located({}, all, u"missing"_s), u"none"_s);
    }

    void temporaryFolder_data()
    {
        QTest::addColumn<QString>("tmpdir");   // a name in the test's folder; empty: unset
        QTest::addColumn<QString>("fallback"); // a name in the test's folder
        QTest::addColumn<QString>("chosen");   // empty: none is usable
        QTest::newRow("TMPDIR a writable folder") << u"tmp"_s << u"fallback"_s << u"tmp"_s;
        QTest::newRow("TMPDIR unset") << QString() << u"fallback"_s << u"fallback"_s;
        QTest::newRow("TMPDIR a file, not a folder") << u"file"_s << u"fallback"_s << u"fallback"_s;
        QTest::newRow("TMPDIR missing, the fallback a file")
            << u"missing"_s << u"file"_s << QString();
    }
    void temporaryFolder()
    {
        QFETCH(QString, tmpdir);
        QFETCH(QString, fallback);
        QFETCH(QString, chosen);
        const TemporaryFolder folder = findTemporaryFolder(
            tmpdir.isEmpty() ? QByteArray() : QFile::encodeName(path(tmpdir)), path(fallback));
        QCOMPARE(folder.path, chosen.isEmpty() ? QString() : path(chosen));
        QCOMPARE(folder.problem,
                 chosen.isEmpty()
                     ? u"Der temporäre Ordner ist nicht beschreibbar: "_s + path(tmpdir)
                     : QString());
        // Never a path at the root built from an empty folder name.
        QCOMPARE(folder.filePath(u"x"_s), chosen.isEmpty() ? QString() : path(chosen + u"/x"_s));
    }
};

QTEST_GUILESS_MAIN(ToolsTest)
#include "tst_tools.moc"
