// The command line while it runs: its progress on a terminal, and the signals that stop it.
#include "CliEpisodes.h"
#include "support/FakeTool.h"
#include "support/TestInspection.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

static const QString interruptedNote =
    u"Die Analyse wurde abgebrochen; nicht alle Dateien wurden geprüft."_s;

class CliProgressTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_slowCli; // a copy of the front end whose bundled mkvmerge never finishes

private slots:
    void initTestCase()
    {
        // Every run starts here, so folders can be given by relative name.
        QVERIFY(QDir::setCurrent(m_dir.path()));
        makeEpisodeFolders(QDir(m_dir.path()));
        QVERIFY(QDir(m_dir.path()).mkdir(u"empty"_s));
        // The front end takes the mkvmerge shipped beside it before any other.
        const QString slow = m_dir.filePath(u"slow"_s);
        QVERIFY(QDir().mkpath(slow + u"/bin"_s) &&
                QDir().mkpath(slow + u"/libexec/spurenflechter"_s));
        m_slowCli = slow + u"/bin/spurenflechter-cli"_s;
        QVERIFY(QFile::copy(QStringLiteral(SPURENFLECHTER_CLI), m_slowCli));
        writeFakeTool(slow + u"/libexec/spurenflechter/mkvmerge"_s,
                      "exec perl -e 'sleep 60' -- \"$@\"");
    }

    // On a terminal the line counts every step of the analysis, the sidecar check after the
    // six files included, rather than standing at the last file.
    void progressOnATerminal()
    {
        const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(terminal >= 0 && ::grantpt(terminal) == 0 && ::unlockpt(terminal) == 0);
        const auto closeTerminal = qScopeGuard([terminal] { ::close(terminal); });
        QVERIFY(::fcntl(terminal, F_SETFL, O_NONBLOCK) == 0);
        const QByteArray side = ::ptsname(terminal);
        QProcess process;
        process.setChildProcessModifier(
            [side] { ::dup2(::open(side.constData(), O_RDWR | O_NOCTTY), STDERR_FILENO); });
        process.start(QStringLiteral(SPURENFLECHTER_CLI), {u"analyze"_s, u"eng"_s, u"ger"_s});
        QByteArray shown;
        const auto readShown = [&] {
            char buffer[4096];
            for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;)
                shown.append(buffer, got);
        };
        while (!process.waitForFinished(20))
            readShown();
        readShown();

        QStringList steps;
        for (const QRegularExpressionMatch &match :
             QRegularExpression(u"Analysiere (\\d+ von \\d+)"_s)
                 .globalMatch(QString::fromUtf8(shown)))
            if (steps.isEmpty() || steps.last() != match.captured(1))
                steps << match.captured(1);
        QCOMPARE(steps, (QStringList{u"1 von 7"_s, u"2 von 7"_s, u"3 von 7"_s, u"4 von 7"_s,
                                     u"5 von 7"_s, u"6 von 7"_s, u"7 von 7"_s}));
    }

    void interruptedAnalysis_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("signal");
        QTest::newRow("analyze, Ctrl+C") << QStringList{u"analyze"_s, u"eng"_s, u"ger"_s} << SIGINT;
        QTest::newRow("mux as JSON, SIGTERM")
            << QStringList{u"--json"_s, u"mux"_s, u"eng"_s, u"ger"_s, u"empty"_s} << SIGTERM;
        QTest::newRow("analyze, SIGQUIT")
            << QStringList{u"analyze"_s, u"eng"_s, u"ger"_s} << SIGQUIT;
    }

    // A signal during the analysis stops the running tool, and the report says that the
    // pairs were not all examined.
    void interruptedAnalysis()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, signal);
        QProcess process;
        QByteArray progress;
        connect(&process, &QProcess::readyReadStandardError, this,
                [&] { progress += process.readAllStandardError(); });
        process.start(m_slowCli, arguments);
        QVERIFY(QTest::qWaitFor([&] { return progress.contains("Analysiere"); }, 30000));
        ::kill(process.processId(), signal);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + signal);
        QCOMPARE(processesNaming(m_dir.filePath(u"eng/"_s)), QStringList());

        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        if (!arguments.contains(u"--json"_s)) {
            // Every pair still reads as it was paired, the one mkvmerge was busy with included:
            // a file not inspected yet is no unreadable file.
            QCOMPARE(out, episodesReport.section(u"\n\n"_s, 0, 0)
                                  .replace(u"Datei nicht lesbar"_s, u"Bereit"_s) +
                              u"\n\n[Hinweis] "_s + interruptedNote + u'\n');
            return;
        }
        const QJsonObject root = QJsonDocument::fromJson(out.toUtf8()).object();
        QCOMPARE(root[u"complete"], false);
        QCOMPARE(root[u"issues"].toArray(),
                 (QJsonArray{QJsonObject{{u"severity"_s, u"information"_s},
                                         {u"message"_s, interruptedNote}}}));
    }
};

QTEST_GUILESS_MAIN(CliProgressTest)
#include "tst_cliprogress.moc"
