#include "support/FakeTool.h"
#include "support/TestInspection.h"
#include "support/TestMedia.h"
#include "tools/ChildProcess.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

#include <QScopeGuard>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Every pair status but "folder 2 missing", a sidecar subtitle and a folder-2 file mkvmerge
// cannot read. The error is found while inspecting, so it comes before the findings.
static const QString episodesReport =
    u"S01E01\tS01E01.mkv\tS01E01 - Pilot.mkv\tS01E01 - Pilot.mkv\tBereit\n"
    u"S01E02\tS01E02.mkv\tS01E02.mkv\tS01E02.mkv\tDatei nicht lesbar\n"
    u"S01E03\t–\tS01E03.mkv\tS01E03.mkv\tDatei in Ordner 1 fehlt\n"
    u"Einzeldatei\tBonus.mkv\t–\tBonus.mkv\tZuordnung nicht eindeutig\n"
    u"\n"
    u"[Fehler] S01E02.mkv: mkvmerge hat keine lesbaren Analysedaten geliefert.\n"
    u"[Hinweis] S01E01: 1 externe Untertiteldatei(en) zugeordnet.\n"_s;

static const QString interruptedNote =
    u"Die Analyse wurde abgebrochen; nicht alle Dateien wurden geprüft."_s;

// The command-line front end as a script sees it: a real process on real files.
class CliTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_slowCli; // a copy of the front end whose bundled mkvmerge never finishes

    // Exit status (-1: crashed), standard output and standard error of a run.
    static std::tuple<int, QString, QString> cli(const QStringList &arguments)
    {
        const ChildOutcome run = runChild({QStringLiteral(SPURENFLECHTER_CLI), arguments});
        return {run.exitCode, QString::fromUtf8(run.standardOutput),
                QString::fromUtf8(run.standardError)};
    }

private slots:
    void initTestCase()
    {
        // Every run starts here, so folders can be given by relative name.
        QVERIFY(QDir::setCurrent(m_dir.path()));
        for (const char16_t *folder :
             {u"eng", u"ger", u"film", u"-film", u"empty", u"leer", u"odd"})
            QVERIFY(QDir(m_dir.path()).mkdir(QStringView(folder).toString()));
        const TestTrack eng{u"eng"_s, {}, false, false}, ger{u"ger"_s, {}, false, false};
        const QList<std::tuple<QString, TestTrack, double>> files{
            {u"eng/S01E01.mkv"_s, eng, 2},    {u"eng/S01E02.mkv"_s, eng, 2},
            {u"eng/Bonus.mkv"_s, eng, 2},     {u"ger/S01E01 - Pilot.mkv"_s, ger, 2},
            {u"ger/S01E03.mkv"_s, ger, 2},    {u"film/Film.mkv"_s, eng, 2},
            {u"-film/Der Film.mkv"_s, ger, 9}};
        for (const auto &[name, track, seconds] : files)
            QCOMPARE(makeTestMatroska(m_dir.filePath(name), {seconds, {track}, {}}), QString());
        QVERIFY(writeTestSubtitle(m_dir.filePath(u"ger/S01E01.de.srt"_s)));
        // mkvmerge exits 0 on a text file, reporting no tracks.
        for (const QString &name : {u"ger/S01E02.mkv"_s, u"odd/S01E01 a\tb\nc.mkv"_s})
            writeTestFile(m_dir.filePath(name), "Hallo\n");
        QVERIFY(QFile::link(m_dir.filePath(u"eng"_s), m_dir.filePath(u"eng-link"_s)));

        // The front end takes the mkvmerge shipped beside it before any other.
        const QString slow = m_dir.filePath(u"slow"_s);
        QVERIFY(QDir().mkpath(slow + u"/bin"_s) &&
                QDir().mkpath(slow + u"/libexec/spurenflechter"_s));
        m_slowCli = slow + u"/bin/spurenflechter-cli"_s;
        QVERIFY(QFile::copy(QStringLiteral(SPURENFLECHTER_CLI), m_slowCli));
        writeFakeTool(slow + u"/libexec/spurenflechter/mkvmerge"_s,
                      "exec perl -e 'sleep 60' -- \"$@\"");
    }

    // The whole standard output ("…" at the end: its beginning), the beginning of standard
    // error and the exit status of a run. Usage errors (exit 2) print nothing but their
    // message on standard error.
    void runs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("errorStart"); // the beginning of standard error, if given
        const auto row = [](const char *name, QString arguments, int exit, QString out = {},
                            QString errorStart = {}) {
            QTest::newRow(name) << arguments.split(u' ', Qt::SkipEmptyParts) << exit << out
                                << errorStart;
        };
        row("episodes, one unreadable", u"analyze eng ger"_s, 1, episodesReport);
        row("warning only; -- before -film; --jobs changes nothing",
            u"--jobs 0 analyze -- film -film"_s, 0,
            u"Einzeldatei\tFilm.mkv\tDer Film.mkv\tDer Film.mkv\tBereit\n\n"
            u"[Warnung] Einzeldatei: Die Laufzeiten unterscheiden sich um 7.0x Sekunden.\n"_s);
        // Finishes without a single inspection; the exit must still reach the event loop.
        row("empty folders", u"analyze empty leer"_s, 0, u"\n"_s,
            u"In den beiden Ordnern wurde keine Matroska-Datei gefunden.\n"_s);
        row("help on standard output", u"--help"_s, 0, u"Aufruf: spurenflechter-cli …"_s);
        row("tab and line break in a file name", u"analyze odd empty"_s, 1,
            u"S01E01\tS01E01 a b c.mkv\t–\tS01E01 - a_b_c.mkv\tDatei in Ordner 2 fehlt\n\n"
            u"[Fehler] S01E01 a b c.mkv: mkvmerge hat keine lesbaren Analysedaten geliefert.\n"_s);
        row("only an option", u"--json"_s, 2);
        row("unknown option", u"--verbose analyze eng ger"_s, 2);
        row("unknown command", u"analyse eng ger"_s, 2);
        row("one folder", u"analyze eng"_s, 2);
        row("three folders", u"analyze eng ger empty"_s, 2);
        row("mux without output folder", u"mux eng ger"_s, 2);
        row("folder 2 missing", u"--json analyze eng fehlt"_s, 2, {},
            u"Ordner nicht gefunden: fehlt"_s);
        row("a file as output folder", u"mux eng ger film/Film.mkv"_s, 2, {},
            u"Kein Ordner: film/Film.mkv"_s);
        // Folders are compared after resolving links.
        const auto canonical = [this](const QString &folder) {
            return QFileInfo(m_dir.filePath(folder)).canonicalFilePath() + u'.';
        };
        row("one source folder twice", u"mux eng-link eng empty"_s, 2, {},
            u"Ordner 1 und Ordner 2 sind derselbe Ordner: "_s + canonical(u"eng"_s));
        row("output into folder 2", u"mux eng ger ger"_s, 2, {},
            u"Der Ausgabeordner darf keiner der beiden Quellordner sein: "_s + canonical(u"ger"_s));
        const QString badJobs = u"Ungültige Anzahl für --jobs: "_s;
        row("--jobs without a number", u"analyze eng ger --jobs"_s, 2, {},
            u"--jobs ohne Anzahl."_s);
        row("--jobs negative", u"--jobs -1 mux eng ger empty"_s, 2, {}, badJobs + u"-1 ("_s);
        row("--jobs above 64", u"--jobs 65 mux eng ger empty"_s, 2, {}, badJobs + u"65 ("_s);
        row("--jobs=0 as --jobs 0", u"--jobs=0 analyze -- film -film"_s, 0,
            u"Einzeldatei\tFilm.mkv\tDer Film.mkv\tDer Film.mkv\tBereit\n…"_s);
        row("--jobs= above 64", u"--jobs=65 mux eng ger empty"_s, 2, {}, badJobs + u"65 ("_s);
        row("--jobs= without a number", u"--jobs= mux eng ger empty"_s, 2, {},
            u"--jobs ohne Anzahl."_s);
    }

    void runs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, report);
        QFETCH(QString, errorStart);
        auto [status, out, err] = cli(arguments);
        // The measured lengths may differ from the encoded ones by a frame.
        out.replace(QRegularExpression(u"um (6\\.9|7\\.0)\\d Sekunden"_s), u"um 7.0x Sekunden"_s);
        out = report.endsWith(u'…') ? out.left(report.size() - 1) + u'…' : out;
        QCOMPARE(out, report);
        QCOMPARE(status, exitCode);
        QVERIFY2(err.startsWith(errorStart), qPrintable(err));
        if (exitCode == 2)
            QVERIFY(err.endsWith(u"Hilfe: spurenflechter-cli --help\n"_s));
    }

    // The JSON document says what the text says, plus ids, numbers and paths.
    void json()
    {
        const auto [status, out, err] = cli({u"--json"_s, u"analyze"_s, u"eng"_s, u"ger"_s});
        QCOMPARE(status, 1);
        const QJsonObject root = QJsonDocument::fromJson(out.toUtf8()).object();
        QCOMPARE(root[u"complete"], true);
        QString text;
        for (const QJsonValue &p : root[u"pairs"].toArray())
            text += u"%1\t%2\t%3\t%4\t%5\n"_s.arg(
                p[u"label"].toString(), p[u"primary"][u"fileName"].toString(u"–"_s),
                p[u"localized"][u"fileName"].toString(u"–"_s), p[u"outputFileName"].toString(),
                p[u"status"].toString());
        for (const QJsonValue &issue : root[u"issues"].toArray())
            text += u"\n[%1] %2"_s.arg(issue[u"severity"].toString(), issue[u"message"].toString());
        QCOMPARE(text + u'\n', QString(episodesReport)
                                   .replace(u"[Fehler]"_s, u"[error]"_s)
                                   .replace(u"[Hinweis]"_s, u"[information]"_s));
        const QJsonValue p = root[u"pairs"];
        const QJsonArray picked{p[2][u"episode"], p[2][u"primary"], p[3][u"id"], p[3][u"episode"]};
        QCOMPARE(QJsonDocument(picked).toJson(QJsonDocument::Compact),
                 R"([{"episode":3,"season":1},null,"unmatched-Bonus.mkv",null])"_ba);
        QCOMPARE(p[0][u"localized"][u"sidecarSubtitles"].toArray(),
                 QJsonArray{QFileInfo(m_dir.filePath(u"ger/S01E01.de.srt"_s)).canonicalFilePath()});
    }

    // Names and files a careless or hostile folder may hold: each is reported or left out,
    // and none hangs the run.
    void unusualEntries()
    {
        const QString folder = m_dir.filePath(u"unusual"_s);
        QVERIFY(QDir().mkpath(folder));
        const QByteArray encoded = QFile::encodeName(folder);
        QVERIFY(::mkfifo(encoded + "/pipe", 0600) == 0);
        QVERIFY(QFile::link(folder + u"/pipe"_s, folder + u"/S01E01.mkv"_s));
        QVERIFY(
            QFile::copy(m_dir.filePath(u"eng/S01E02.mkv"_s), folder + u"/S01E02 a\u2028b.mkv"_s));
        QVERIFY(::mknod(encoded + "/S01E03 \xff.mkv", S_IFREG | 0600, 0) == 0);

        const auto [status, out, err] = cli({u"analyze"_s, u"unusual"_s, u"empty"_s});
        QCOMPARE(status, 0);
        QCOMPARE(out, u"S01E02\tS01E02 a b.mkv\t–\tS01E02 - a b.mkv\tDatei in Ordner 2 fehlt\n\n"
                      u"[Warnung] S01E03 \uFFFD.mkv: Die Datei in Ordner 1 wird übersprungen, weil "
                      u"ihr Name kein gültiges UTF-8 ist. Umbenennen hilft.\n"_s);
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

    void reportToAFullDevice()
    {
        QProcess process;
        process.setStandardOutputFile(u"/dev/full"_s);
        process.start(QStringLiteral(SPURENFLECHTER_CLI),
                      {u"analyze"_s, u"--"_s, u"film"_s, u"-film"_s});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardError().contains(
            u"Der Bericht konnte nicht vollständig geschrieben werden."_s.toUtf8()));
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

    // Stopped in the sync check, after every file was inspected: the note says what is missing.
    void interruptedSyncCheck()
    {
        for (const auto &[folder, language] :
             {std::pair(u"long-eng"_s, u"eng"_s), std::pair(u"long-ger"_s, u"ger"_s)}) {
            QVERIFY(QDir(m_dir.path()).mkdir(folder));
            QCOMPARE(
                makeTestMatroska(m_dir.filePath(folder + u"/S01E01.mkv"_s), {900.0, {{language}}}),
                QString());
        }
        QProcess process;
        process.start(QStringLiteral(SPURENFLECHTER_CLI),
                      {u"--sync-check"_s, u"analyze"_s, u"long-eng"_s, u"long-ger"_s});
        // The sync check's ffmpeg decodes the German file; the inspection's tools do not.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return !processesNaming(m_dir.filePath(u"long-ger/"_s))
                            .filter(u"ffmpeg"_s)
                            .isEmpty();
            },
            60000));
        ::kill(process.processId(), SIGINT);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 128 + SIGINT);
        QVERIFY2(process.readAllStandardOutput().contains(
                     u"\n\n[Hinweis] Die Analyse wurde abgebrochen; nicht alle Paare wurden auf "
                     u"Tonversatz geprüft.\n"_s.toUtf8()),
                 "another note");
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
