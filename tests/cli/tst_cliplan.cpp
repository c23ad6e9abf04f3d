// `spurenflechter-cli plan`: the planned tracks are the tracks `mux` then writes, and planning
// writes nothing.
#include "support/TestInspection.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Episode {
    TestMediaLayout english;
    TestMediaLayout german;
    QStringList englishSidecars; // beside the folder-1 file
    QStringList germanSidecars;  // beside the folder-2 file
};

// The planned tracks in the words of trackLayout().
QStringList plannedLayout(const QJsonObject &plan)
{
    QStringList tracks;
    for (const QJsonValue &value : plan.value(u"tracks").toArray()) {
        const QJsonObject track = value.toObject();
        const auto flag = [&](QStringView name) { return track.value(name).toBool() ? u"yes"_s : u"no"_s; };
        tracks << u"%1 %2 %3 default=%4 forced=%5"_s.arg(
            track.value(u"type").toString(), track.value(u"language").toString(),
            track.value(u"name").toString(), flag(u"default"), flag(u"forced"));
    }
    return tracks;
}

} // namespace

Q_DECLARE_METATYPE(Episode)

class CliPlanTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    std::tuple<int, QByteArray, QString> run(const QString &folder, const QStringList &arguments)
    {
        QProcess process;
        process.setWorkingDirectory(folder);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TMPDIR"_s, folder + u"/tmp"_s);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(SPURENFLECHTER_CLI), arguments);
        process.waitForFinished(-1);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
    }

private slots:
    void planIsWhatMuxWrites_data()
    {
        QTest::addColumn<Episode>("episode");
        QTest::addColumn<QStringList>("options");
        const TestTrack eng{u"eng"_s}, ger{u"ger"_s};
        QTest::newRow("German and English audio")
            << Episode{{4.0, {eng, {u"eng"_s, u"Commentary"_s}}}, {4.0, {ger}}} << QStringList();
        QTest::newRow("forced and default subtitles")
            << Episode{{4.0, {eng}, {{u"eng"_s, {}, true}, {u"eng"_s, u"Forced"_s, false, true}}},
                       {4.0, {{u"ger"_s, u"Stereo"_s, true}}, {{u"ger"_s, {}, false, true}, ger}}}
            << QStringList();
        QTest::newRow("sidecars of both folders")
            << Episode{{4.0, {eng}}, {4.0, {ger}}, {u"en.srt"_s}, {u"de.srt"_s, u"de.forced.srt"_s}}
            << QStringList();
        QTest::newRow("PAL pair") << Episode{{4.0, {eng}, {eng}}, {3.84, {ger}, {ger}}}
                                  << QStringList();
        QTest::newRow("PAL pair, pitch restored")
            << Episode{{4.0, {eng}}, {3.84, {ger, {u"ger"_s, u"Kommentar"_s}}}}
            << QStringList{u"--restore-pitch"_s};
    }

    void planIsWhatMuxWrites()
    {
        QFETCH(Episode, episode);
        QFETCH(QStringList, options);
        const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        for (const QString &name : {u"eng"_s, u"deu"_s, u"out"_s, u"tmp"_s})
            QVERIFY(QDir().mkpath(folder + u'/' + name));
        QCOMPARE(makeTestMatroska(folder + u"/eng/Serie S01E01.mkv"_s, episode.english), QString());
        QCOMPARE(makeTestMatroska(folder + u"/deu/Serie S01E01.mkv"_s, episode.german), QString());
        for (const QString &suffix : episode.englishSidecars)
            QVERIFY(writeTestSubtitle(folder + u"/eng/Serie S01E01."_s + suffix, u"Hello"_s));
        for (const QString &suffix : episode.germanSidecars)
            QVERIFY(writeTestSubtitle(folder + u"/deu/Serie S01E01."_s + suffix, suffix));

        const auto [status, out, err] =
            run(folder, options + QStringList{u"--json"_s, u"plan"_s, u"eng"_s, u"deu"_s, u"out"_s});
        QVERIFY2(status == 0, qPrintable(err));
        const QJsonObject pair =
            QJsonDocument::fromJson(out).object().value(u"pairs").toArray().first().toObject();
        const QJsonObject plan = pair.value(u"plan").toObject();
        QVERIFY2(!plan.isEmpty(), qPrintable(pair.value(u"planError").toString()));
        QCOMPARE(folderEntries(folder + u"/out"_s), QStringList());
        QCOMPARE(folderEntries(folder + u"/tmp"_s), QStringList());

        const auto [muxStatus, muxOut, muxErr] =
            run(folder, options + QStringList{u"mux"_s, u"eng"_s, u"deu"_s, u"out"_s});
        QCOMPARE(muxStatus, 0);
        const QString output = folder + u"/out/"_s + plan.value(u"outputFileName").toString();
        QVERIFY(QFileInfo::exists(output));
        QCOMPARE(plannedLayout(plan), trackLayout(output));
        // The mux names the encoding of each track it converted.
        QStringList encodings;
        for (const QJsonValue &track : plan.value(u"tracks").toArray()) {
            const QJsonValue conversion = track[u"conversion"], rate = conversion[u"kilobitsPerSecond"];
            if (conversion.isObject())
                encodings << conversion[u"codec"].toString() +
                                 (rate.isNull() ? QString() : u", %1 kbit/s"_s.arg(rate.toInt()));
        }
        if (!encodings.isEmpty())
            QVERIFY2(QString::fromUtf8(muxOut).contains(u"("_s + encodings.join(u"; "_s) + u")."_s),
                     muxOut.constData());
    }

    // What the plan says of timing, sources and conversion, and how the text reads it.
    void planTellsSourcesAndTiming()
    {
        const QString folder = m_dir.filePath(u"text"_s);
        for (const QString &name : {u"eng"_s, u"deu"_s, u"out"_s, u"tmp"_s})
            QVERIFY(QDir().mkpath(folder + u'/' + name));
        QCOMPARE(makeTestMatroska(folder + u"/eng/S01E01.mkv"_s, {4.0, {{u"eng"_s}}}), QString());
        QCOMPARE(makeTestMatroska(folder + u"/deu/S01E01.mkv"_s, {3.84, {{u"ger"_s}}}), QString());
        QVERIFY(writeTestSubtitle(folder + u"/deu/S01E01.de.srt"_s));
        const auto [status, out, err] = run(folder, {u"plan"_s, u"eng"_s, u"deu"_s, u"out"_s});
        QCOMPARE(status, 0);
        QCOMPARE(QString::fromUtf8(out).split(u'\n').mid(2, 5),
                 (QStringList{
                     u"S01E01 → S01E01.mkv"_s,
                     u"  1\tVideo\tund\t–\tStandard\tOrdner 1: S01E01.mkv, Spur 0\tunverändert\t"
                     u"Umwandlung: keine"_s,
                     u"  2\tTon\tger\tDeutsch\tStandard\tOrdner 2: S01E01.mkv, Spur 1\t"
                     u"gestreckt ×1,042708\tUmwandlung: keine"_s,
                     u"  3\tTon\teng\tEnglish\t–\tOrdner 1: S01E01.mkv, Spur 1\tunverändert\t"
                     u"Umwandlung: keine"_s,
                     u"  4\tUntertitel\tger\tDeutsch\t–\tOrdner 2: S01E01.de.srt\t"
                     u"gestreckt ×1,042708\tUmwandlung: keine"_s}));
        QCOMPARE(folderEntries(folder + u"/out"_s), QStringList());
    }
};

QTEST_GUILESS_MAIN(CliPlanTest)
#include "tst_cliplan.moc"
