// The command line with the sync check over several pairs: the checks of the muxed outputs,
// sync checks run side by side, and a sync check stopped.
#include "analysis/PalSpeedup.h"
#include "support/SyncMedia.h"
#include "support/TestInspection.h"
#include "tools/ChildProcess.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SoundFamily)

namespace {

// Five one-minute segments: three before a cut, two after it, the fewest that show one.
constexpr double cutEpisodeSeconds = 300;
constexpr double shortEpisodeSeconds = 180; // three segments, the fewest that agree

QString englishEncoding(double seconds)
{
    // A video track: a seek in the English file lands on a key frame, as in real releases.
    return u"-f lavfi -i color=c=black:s=64x36:r=25:d=%1 -map 1:v -c:v mpeg4 -map 0:a -c:a flac "
           u"-metadata:s:a:0 language=eng"_s.arg(seconds);
}

ChildOutcome runCli(const QStringList &arguments)
{
    return runChild({QStringLiteral(SPURENFLECHTER_CLI), arguments});
}

QStringList messagesOf(const QJsonObject &report)
{
    QStringList messages;
    for (const QJsonValue &issue : report[u"issues"].toArray())
        messages << issue[u"message"].toString();
    return messages;
}

} // namespace

class CliResultCheckTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // `--sync-check --json`, then the command and the folders.
    QJsonObject report(const QStringList &command)
    {
        const ChildOutcome cli = runCli(QStringList{u"--sync-check"_s, u"--json"_s} + command);
        [&] { QCOMPARE(cli.exitCode, 0); }();
        return QJsonDocument::fromJson(cli.standardOutput).object();
    }

private slots:
    void initTestCase()
    {
        for (const QString &folder : {u"eng"_s, u"deu"_s, u"out"_s, u"planned"_s, u"repaired"_s})
            QVERIFY(QDir(m_dir.path()).mkdir(folder));
        // S01E01: 1.6 s of extra German material at 2:58, which a mux without repair keeps; a
        // room tone under its effects lets the cut be placed to the frame.
        // S01E02: a PAL release, resampled with its pitch, German 1.2 s late, which the mux
        // undoes. S01E03: in sync. The first pair takes longest to check, so side by side its
        // check ends last.
        const struct {
            QString name;
            double seconds;
            ReleaseTiming timing;
            float roomTone = 0;
        } episodes[] = {{u"S01E01"_s, cutEpisodeSeconds, {1, 0, 178, 1.6}, 0.03f},
                        {u"S01E02"_s, shortEpisodeSeconds, {palTimingFactor, 1.2}},
                        {u"S01E03"_s, shortEpisodeSeconds, {}}};
        for (const auto &episode : episodes) {
            const unsigned seed = unsigned(episode.seconds) + episode.name.back().unicode();
            const auto sound = [&](Language language) {
                return makeSoundtrack(SoundFamily::effects, language, seed, episode.seconds + 10,
                                      episode.roomTone);
            };
            QCOMPARE(writeRelease(path(u"eng/%1.mkv"_s.arg(episode.name)), sound(Language::english),
                                  {}, episode.seconds,
                                  englishEncoding(episode.seconds).split(u' ')),
                     QString());
            QCOMPARE(writeRelease(path(u"deu/%1.mkv"_s.arg(episode.name)), sound(Language::german),
                                  episode.timing, episode.seconds / episode.timing.stretch,
                                  u"-c:a flac -metadata:s:a:0 language=ger"_s.split(u' ')),
                     QString());
        }
    }

    void sideBySideChecksReportInTableOrder()
    {
        const QStringList folders{u"analyze"_s, path(u"eng"_s), path(u"deu"_s)};
        const QJsonObject oneAtATime = report(QStringList{u"--jobs"_s, u"1"_s} + folders);
        const QJsonObject sideBySide = report(QStringList{u"--jobs"_s, u"3"_s} + folders);
        // The findings must say something, or equal reports would prove nothing.
        QCOMPARE(oneAtATime[u"pairs"][0][u"syncCheck"][u"verdict"], u"cut"_s);
        QCOMPARE(oneAtATime[u"pairs"][1][u"syncCheck"][u"verdict"], u"constant"_s);
        QCOMPARE(messagesOf(sideBySide), messagesOf(oneAtATime));
        QCOMPARE(sideBySide[u"pairs"], oneAtATime[u"pairs"]);
    }

    void everyOutputIsChecked()
    {
        const QJsonObject muxed =
            report({u"--jobs"_s, u"2"_s, u"mux"_s, path(u"eng"_s), path(u"deu"_s), path(u"out"_s)});
        const QStringList messages = messagesOf(muxed);

        // The kept extra material puts the German track 1.6 s late after the cut.
        const QJsonObject cut = muxed[u"pairs"][0][u"resultCheck"].toObject();
        QVERIFY2(std::abs(cut[u"largestDeviation"].toDouble() - 1.6) < 0.02,
                 QJsonDocument(cut).toJson());
        QCOMPARE_GT(cut[u"deviationTime"].toDouble(), 178);
        QCOMPARE(cut[u"segments"].toArray().size(), 5);
        const QRegularExpression cutWarning(
            u"^S01E01: Im Ergebnis weicht die deutsche Tonspur bei etwa [34]:30 min um 1\\.60 "
            u"Sekunden ab\\.$"_s);
        QCOMPARE(messages.filter(cutWarning).size(), 1);
        QVERIFY(QFile::exists(path(u"out/S01E01.mkv"_s))); // the user decides

        // The undone offset and the pair in sync both line up in their outputs.
        QVERIFY(messages.contains(u"S01E02: Tonversatz von 1.20 Sekunden ausgeglichen."_s));
        const QJsonObject pitch = muxed[u"pairs"][1][u"pitch"].toObject();
        QCOMPARE(pitch[u"verdict"], u"raised"_s);
        QVERIFY(messages.contains(u"S01E02: Die deutsche Tonspur klingt um %1 Halbtöne zu hoch "
                                  u"(PAL-Beschleunigung ohne Tonhöhenkorrektur)."_s.arg(
                                      pitch[u"semitones"].toDouble(), 0, 'f', 2)));
        for (const int pair : {1, 2}) {
            const QJsonObject check = muxed[u"pairs"][pair][u"resultCheck"].toObject();
            QVERIFY2(check[u"largestDeviation"].toDouble() <= 0.05, QJsonDocument(check).toJson());
            const QString hint =
                u"S01E0%1: Tonversatz im Ergebnis geprüft: höchstens %2 Sekunden Abweichung."_s
                    .arg(pair + 1)
                    .arg(check[u"largestDeviation"].toDouble(), 0, 'f', 2);
            QVERIFY2(messages.contains(hint), qPrintable(messages.join(u'\n')));
        }
        // In table order, each right after its pair's mux.
        const auto firstOf = [&](const QString &prefix) {
            return messages.indexOf(QRegularExpression(u"^"_s + prefix + u".*Ergebnis.*"_s));
        };
        QVERIFY(firstOf(u"S01E01"_s) < firstOf(u"S01E02"_s));
        QVERIFY(firstOf(u"S01E02"_s) < firstOf(u"S01E03"_s));
    }

    // The pitch restoration listens to a PAL pair even without the sync check, whose offset
    // then stays unsaid and uncorrected.
    void pitchHeardForTheRestorationAlone()
    {
        const ChildOutcome cli = runCli({u"--restore-pitch"_s, u"--json"_s, u"plan"_s,
                                         path(u"eng"_s), path(u"deu"_s), path(u"planned"_s)});
        const QJsonObject planned = QJsonDocument::fromJson(cli.standardOutput).object();
        QCOMPARE(planned[u"pairs"][1][u"pitch"][u"verdict"], u"raised"_s);
        QCOMPARE(planned[u"pairs"][0][u"pitch"], QJsonValue()); // not PAL: not listened to
        QCOMPARE(planned[u"pairs"][1][u"syncCheck"][u"correctionSeconds"], QJsonValue());
        QVERIFY(!messagesOf(planned).join(u'\n').contains(u"zu spät"_s));
    }

    // The repair asks for the sync check itself, removes the extra material at the placed cut,
    // and the output's check finds the German track in line before and after it.
    void repairSplicesTheCut()
    {
        const ChildOutcome cli =
            runCli({u"--repair-cuts"_s, u"--json"_s, u"--jobs"_s, u"2"_s, u"mux"_s, path(u"eng"_s),
                    path(u"deu"_s), path(u"repaired"_s)});
        QCOMPARE(cli.exitCode, 0);
        const QJsonObject muxed = QJsonDocument::fromJson(cli.standardOutput).object();
        const QStringList messages = messagesOf(muxed);
        QVERIFY2(messages.contains(u"S01E01: Schnitt bei 2:58 min ausgeglichen: 1.60 Sekunden "
                                   u"der deutschen Fassung entfernt."_s),
                 qPrintable(messages.join(u'\n')));
        const QJsonObject check = muxed[u"pairs"][0][u"resultCheck"].toObject();
        QCOMPARE(check[u"segments"].toArray().size(), 5);
        QVERIFY2(check[u"largestDeviation"].toDouble() <= 0.05, QJsonDocument(check).toJson());
        // The conversion left nothing beside the outputs.
        QCOMPARE(QDir(path(u"repaired"_s)).entryList(QDir::Files | QDir::Hidden).size(), 3);
    }

    // Dialogue in both languages over a room tone, and music: the cut is placed and repaired
    // as well, where the German release lacks material (filled with silence) and where it has
    // more (removed).
    void repairsDialogueAndMusic_data()
    {
        QTest::addColumn<SoundFamily>("family");
        QTest::addColumn<bool>("roomTone");
        QTest::addColumn<double>("extra"); // German seconds more at 2:58 (negative: fewer)
        QTest::addColumn<QString>("repaired");
        QTest::newRow("speech, German shorter")
            << SoundFamily::speech << true << -1.2
            << u"S01E01: Schnitt bei 2:58 min ausgeglichen: 1.20 Sekunden Stille eingefügt."_s;
        QTest::newRow("music, German longer")
            << SoundFamily::music << false << 2.4
            << u"S01E01: Schnitt bei 2:58 min ausgeglichen: 2.40 Sekunden der deutschen Fassung "
               u"entfernt."_s;
    }

    void repairsDialogueAndMusic()
    {
        QFETCH(SoundFamily, family);
        QFETCH(bool, roomTone);
        QFETCH(double, extra);
        QFETCH(QString, repaired);
        const QString folder = u"family-%1"_s.arg(int(family));
        for (const QString &side : {u"eng"_s, u"deu"_s, u"out"_s})
            QVERIFY(QDir(m_dir.path()).mkpath(folder + u'/' + side));
        const auto sound = [&](Language language) {
            return makeSoundtrack(family, language, 11, cutEpisodeSeconds + 10,
                                  roomTone ? 0.03f : 0.0f);
        };
        QCOMPARE(writeRelease(path(folder + u"/eng/S01E01.mkv"_s), sound(Language::english), {},
                              cutEpisodeSeconds, englishEncoding(cutEpisodeSeconds).split(u' ')),
                 QString());
        QCOMPARE(writeEditedRelease(path(folder + u"/deu/S01E01.mkv"_s), sound(Language::german), 1,
                                    0.2, {{178, extra}}, cutEpisodeSeconds + extra,
                                    u"-c:a flac -metadata:s:a:0 language=ger"_s.split(u' ')),
                 QString());

        const ChildOutcome cli =
            runCli({u"--repair-cuts"_s, u"--json"_s, u"mux"_s, path(folder + u"/eng"_s),
                    path(folder + u"/deu"_s), path(folder + u"/out"_s)});
        QCOMPARE(cli.exitCode, 0);
        const QJsonObject muxed = QJsonDocument::fromJson(cli.standardOutput).object();
        const QStringList messages = messagesOf(muxed);
        QVERIFY2(messages.contains(repaired), qPrintable(messages.join(u'\n')));
        const QJsonObject check = muxed[u"pairs"][0][u"resultCheck"].toObject();
        QCOMPARE(check[u"segments"].toArray().size(), 5);
        QVERIFY2(check[u"largestDeviation"].toDouble() <= 0.05, QJsonDocument(check).toJson());
    }

    // Stopped in the sync check, after every file was inspected: the note says what is missing.
    void interruptedSyncCheck()
    {
        QProcess process;
        process.start(QStringLiteral(SPURENFLECHTER_CLI),
                      {u"--sync-check"_s, u"analyze"_s, path(u"eng"_s), path(u"deu"_s)});
        // The sync check's ffmpeg decodes the German files; the inspection's tools do not.
        QVERIFY(QTest::qWaitFor(
            [&] { return !processesNaming(path(u"deu/"_s)).filter(u"ffmpeg"_s).isEmpty(); },
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

QTEST_GUILESS_MAIN(CliResultCheckTest)
#include "tst_cliresultcheck.moc"
