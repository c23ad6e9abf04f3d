#include "support/TestMedia.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Every pair status, a sidecar subtitle, an untagged track in folder 2, a German track in
// folder 1 and a folder-2 file mkvmerge cannot read. The error is found while inspecting, so
// it comes before the findings about the pairs.
const QString episodesReport =
    u"S01E01\tS01E01.mkv\tS01E01 - Pilot.mkv\tS01E01 - Pilot.mkv\tBereit\n"
    u"S01E02\tS01E02.mkv\tS01E02.mkv\tS01E02.mkv\tBereit\n"
    u"S01E03\tS01E03.mkv\tS01E03.mkv\tS01E03.mkv\tBereit\n"
    u"S01E04\t–\tS01E04.mkv\tS01E04.mkv\tDatei in Ordner 1 fehlt\n"
    u"Einzeldatei\tBonus.mkv\t–\tBonus.mkv\tZuordnung nicht eindeutig\n"
    u"\n"
    u"[Fehler] S01E03.mkv: mkvmerge hat keine lesbaren Analysedaten geliefert.\n"
    u"[Hinweis] S01E01: 1 externe Untertiteldatei(en) zugeordnet.\n"
    u"[Hinweis] S01E02: Mindestens eine Audiospur aus Ordner 2 hat keine Sprachkennung und "
    u"wird als Deutsch (deu) behandelt.\n"
    u"[Hinweis] S01E02: Deutsche Audiospur 2 aus Ordner 1 wird übersprungen; Deutsch stammt "
    u"aus Ordner 2.\n"_s;

// Two lone films of 2 and 9 seconds: a hint and a warning, but no error.
const QString filmReport =
    u"Einzeldatei\tFilm.mkv\tDer Film.mkv\tDer Film.mkv\tBereit\n"
    u"\n"
    u"[Hinweis] Einzeldatei: Mindestens eine Audiospur aus Ordner 1 hat keine Sprachkennung "
    u"und wird als Englisch (eng) behandelt.\n"
    u"[Warnung] Einzeldatei: Die Laufzeiten unterscheiden sich um 7.0x Sekunden.\n"_s;

struct CliRun {
    int exitCode = -1; // -1: crashed
    QString out;
    QString err;
};

} // namespace

// The command-line front end as a script sees it: a real process on real files.
class CliTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Runs in the temporary folder, so folders can be given by relative name.
    CliRun run(const QStringList &arguments) const
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QStringLiteral(SPURENFLECHTER_CLI), arguments);
        process.waitForFinished(-1);
        CliRun result;
        if (process.exitStatus() == QProcess::NormalExit)
            result.exitCode = process.exitCode();
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const QString &folder : {u"eng"_s, u"ger"_s, u"film"_s, u"-film"_s, u"empty"_s})
            QVERIFY(QDir(m_dir.path()).mkdir(folder));

        TestTrack eng, ger, untagged;
        eng.language = u"eng"_s;
        ger.language = u"ger"_s;
        const auto make = [&](const QString &name, QList<TestTrack> audio, double seconds = 2) {
            return makeTestMatroska(path(name), TestMediaLayout{seconds, audio, {}});
        };
        const auto copy = [&](const QString &from, const QString &to) {
            return QFile::copy(path(from), path(to));
        };
        QCOMPARE(make(u"eng/S01E01.mkv"_s, {eng}), QString());
        QCOMPARE(make(u"eng/S01E02.mkv"_s, {eng, ger}), QString());
        QVERIFY(copy(u"eng/S01E01.mkv"_s, u"eng/S01E03.mkv"_s));
        QVERIFY(copy(u"eng/S01E01.mkv"_s, u"eng/Bonus.mkv"_s));
        QCOMPARE(make(u"ger/S01E01 - Pilot.mkv"_s, {ger}), QString());
        QVERIFY(writeTestSubtitle(path(u"ger/S01E01.de.srt"_s)));
        QCOMPARE(make(u"ger/S01E02.mkv"_s, {untagged}), QString());
        QVERIFY(copy(u"ger/S01E01 - Pilot.mkv"_s, u"ger/S01E04.mkv"_s));
        QFile text(path(u"ger/S01E03.mkv"_s)); // mkvmerge exits 0 on it, reporting no tracks
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("Hallo\n") == 6);
        text.close();

        QCOMPARE(make(u"film/Film.mkv"_s, {untagged}), QString());
        QCOMPARE(make(u"-film/Der Film.mkv"_s, {ger}, 9), QString());
    }

    void analyze_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("report");
        QTest::newRow("episodes, one unreadable")
            << QStringList{u"analyze"_s, u"eng"_s, u"ger"_s} << 1 << episodesReport;
        QTest::newRow("hint and warning only; -- before a folder named like an option")
            << QStringList{u"analyze"_s, u"--"_s, u"film"_s, u"-film"_s} << 0 << filmReport;
        // Finishes without a single inspection; the exit must still reach the event loop.
        QTest::newRow("empty folders")
            << QStringList{u"analyze"_s, u"empty"_s, u"empty"_s} << 0 << u"\n"_s;
    }
    void analyze()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, report);
        CliRun result = run(arguments);
        // The measured lengths may differ from the encoded ones by a frame.
        result.out.replace(QRegularExpression(u"um (6\\.9|7\\.0)\\d Sekunden"_s),
                           u"um 7.0x Sekunden"_s);
        QCOMPARE(result.out, report);
        QCOMPARE(result.err, QString());
        QCOMPARE(result.exitCode, exitCode);
    }

    // The JSON document says what the text says, plus ids, numbers and paths.
    void json()
    {
        const CliRun result = run({u"--json"_s, u"analyze"_s, u"eng"_s, u"ger"_s});
        QCOMPARE(result.exitCode, 1);
        QJsonParseError error;
        const QJsonObject root = QJsonDocument::fromJson(result.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);

        const auto name = [](const QJsonValue &file) {
            return file.isNull() ? u"–"_s : file[u"fileName"].toString();
        };
        const QJsonArray pairs = root[u"pairs"].toArray();
        QString text;
        QStringList ids;
        for (const QJsonValue &pair : pairs) {
            ids << pair[u"id"].toString();
            text += QStringList{pair[u"label"].toString(), name(pair[u"primary"]),
                                name(pair[u"localized"]), pair[u"outputFileName"].toString(),
                                pair[u"status"].toString()}
                        .join(u'\t');
            text += u'\n';
        }
        text += u'\n';
        const QHash<QString, QString> prefixes{{u"information"_s, u"[Hinweis] "_s},
                                               {u"warning"_s, u"[Warnung] "_s},
                                               {u"error"_s, u"[Fehler] "_s}};
        for (const QJsonValue &issue : root[u"issues"].toArray()) {
            text += prefixes.value(issue[u"severity"].toString(), u"[?] "_s) +
                    issue[u"message"].toString();
            text += u'\n';
        }
        QCOMPARE(text, episodesReport);

        QCOMPARE(ids, (QStringList{u"S01E01"_s, u"S01E02"_s, u"S01E03"_s, u"S01E04"_s,
                                   u"unmatched-Bonus.mkv"_s}));
        QCOMPARE(pairs[3][u"episode"].toObject(),
                 (QJsonObject{{u"season"_s, 1}, {u"episode"_s, 4}}));
        QVERIFY(pairs[4][u"episode"].isNull());
        QCOMPARE(pairs[0][u"localized"][u"sidecarSubtitles"].toArray(),
                 QJsonArray{QFileInfo(path(u"ger/S01E01.de.srt"_s)).canonicalFilePath()});
    }

    // Usage errors go to standard error alone; help goes to standard output.
    void usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        const auto row = [](const char *name, const QStringList &arguments, int exitCode = 2) {
            QTest::newRow(name) << arguments << exitCode;
        };
        row("no arguments", {});
        row("only an option", {u"--json"_s});
        row("unknown option", {u"--verbose"_s, u"analyze"_s, u"eng"_s, u"ger"_s});
        row("folder named like an option, no --", {u"analyze"_s, u"film"_s, u"-film"_s});
        row("unknown command", {u"analyse"_s, u"eng"_s, u"ger"_s});
        row("one folder", {u"analyze"_s, u"eng"_s});
        row("three folders", {u"analyze"_s, u"eng"_s, u"ger"_s, u"empty"_s});
        row("folder 1 missing", {u"analyze"_s, u"fehlt"_s, u"ger"_s});
        row("folder 2 missing", {u"--json"_s, u"analyze"_s, u"eng"_s, u"fehlt"_s});
        row("a file, not a folder", {u"analyze"_s, u"eng"_s, u"film/Film.mkv"_s});
        row("help", {u"--help"_s}, 0);
        row("help after a full command", {u"analyze"_s, u"eng"_s, u"ger"_s, u"--help"_s}, 0);
    }
    void usage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        const CliRun result = run(arguments);
        QCOMPARE(result.exitCode, exitCode);
        if (exitCode == 0) {
            QVERIFY2(result.out.startsWith(u"Aufruf: spurenflechter-cli"_s),
                     qPrintable(result.out));
            QCOMPARE(result.err, QString());
        } else {
            QCOMPARE(result.out, QString());
            QVERIFY(!result.err.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
