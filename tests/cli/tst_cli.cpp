// The command line's arguments and reports: text, JSON, unusual names, a full device.
#include "CliEpisodes.h"
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

#include <sys/stat.h>

using namespace Qt::StringLiterals;

// The command-line front end as a script sees it: a real process on real files.
class CliTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

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
        makeEpisodeFolders(QDir(m_dir.path()));
        for (const char16_t *folder : {u"film", u"-film", u"empty", u"leer", u"odd"})
            QVERIFY(QDir(m_dir.path()).mkdir(QStringView(folder).toString()));
        const TestTrack eng{u"eng"_s, {}, false, false}, ger{u"ger"_s, {}, false, false};
        const QList<std::tuple<QString, TestTrack, double>> files{
            {u"film/Film.mkv"_s, eng, 2}, {u"-film/Der Film.mkv"_s, ger, 9}};
        for (const auto &[name, track, seconds] : files)
            QCOMPARE(makeTestMatroska(m_dir.filePath(name), {seconds, {track}, {}}), QString());
        // mkvmerge exits 0 on a text file, reporting no tracks.
        writeTestFile(m_dir.filePath(u"odd/S01E01 a\tb\nc.mkv"_s), "Hallo\n");
        QVERIFY(QFile::link(m_dir.filePath(u"eng"_s), m_dir.filePath(u"eng-link"_s)));
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
        const QJsonArray picked{p[2][u"episode"], p[2][u"primary"], p[3][u"id"], p[3][u"episode"],
                                p[1][u"unreadable"], p[0][u"unreadable"]};
        QCOMPARE(QJsonDocument(picked).toJson(QJsonDocument::Compact),
                 R"([{"episode":3,"season":1},null,"unmatched-Bonus.mkv",null,true,null])"_ba);
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
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
