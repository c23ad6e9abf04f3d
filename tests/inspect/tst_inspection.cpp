// Inspecting files: the tools' JSON read, and real and misbehaving mkvmerge and ffprobe.
#include "inspect/FfprobeReader.h"
#include "inspect/MKVInspector.h"
#include "inspect/MKVInspectorError.h"
#include "inspect/MkvmergeReader.h"
#include "support/FakeTool.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

using OptionalTrack = std::optional<MediaTrack>;

namespace {

const QString failed = u"MKV-Analyse fehlgeschlagen: "_s;
const QString invalid = u"mkvmerge hat keine lesbaren Analysedaten geliefert."_s;
const QString oddName = u"-a b'c\"@.mkv"_s; // relative: handed to the tools made absolute

// "<n> tracks", or the text of the error.
QString outcome(const ToolLocations &tools, const QString &file)
{
    try {
        return u"%1 tracks"_s.arg(
            MKVInspector(tools).inspect(QUrl::fromLocalFile(file)).tracks.size());
    } catch (...) {
        return describeError(std::current_exception());
    }
}

} // namespace

// The tools' JSON read field by field, and the real tools on files made at run time; shell
// scripts stand in for them where only a misbehaving tool shows the behaviour.
class InspectionTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        writeTestFile(path(u"text.mkv"_s), "Hallo");
        const TestMediaLayout episode{
            3.0,
            {{u"eng"_s, u"English"_s, true, false},
             {u"ger"_s, u"Deutsch"_s, false, true},
             {std::nullopt, std::nullopt, false, false}},
            {{u"ger"_s, u"Erzwungen"_s, false, true}, {u"eng"_s, {}, true, false}}};
        QCOMPARE(makeTestMatroska(path(u"episode.mkv"_s), episode), QString());
    }

    void parseClockDuration_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<double>>("seconds");
        const auto row = [](const char *text, std::optional<double> seconds) {
            QTest::newRow(text) << QString::fromUtf8(text) << seconds;
        };
        row("00:42:17.376000000", 2537.376);
        row("1::02:03", 3723);
        // Empty pieces and pieces that are no number (whitespace, infinity included) are left out.
        row(":1:x:inf: 4:2:3:", 3723);
        row(".5:1e1:-3.", 1800 + 600 - 3);
        for (const char *text : {"42:17", "1:2:3:4", "1:2:3 ", "1e308:0:0"})
            row(text, std::nullopt);
    }
    void parseClockDuration()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<double>, seconds);
        QCOMPARE(::parseClockDuration(text), seconds);
    }

    // JSON rows use single quotes, which read more easily inside C++ literals.
    void parseTrack_data()
    {
        QTest::addColumn<bool>("ffprobe");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<OptionalTrack>("track");
        const auto row = [](bool ffprobe, const char *name, QByteArray json, OptionalTrack track) {
            QTest::addRow("%s %s", ffprobe ? "ffprobe" : "mkvmerge", name)
                << ffprobe << json.replace('\'', '"') << track;
        };
        const MediaTrack bare{.codec = u"Unbekannt"_s};
        row(false, "all fields",
            "{'id':3,'type':'audio','codec':'AC-3','properties':{'language':'ger',"
            "'track_name':'Deutsch','tag_duration':'00:00:25.008000000',"
            "'tag_number_of_frames':'+521','num_index_entries':9,'default_track':true,"
            "'forced_track':true}}",
            MediaTrack{3, TrackType::audio, u"AC-3"_s, u"ger"_s, u"Deutsch"_s, 25.008, 521, true,
                       true});
        row(false, "wrong types",
            "{'id':0,'type':1,'codec':null,'properties':{'language':7,'track_name':[],"
            "'tag_duration':25,'tag_number_of_frames':521,'num_index_entries':7.5,"
            "'default_track':'true','forced_track':1}}",
            bare);
        row(false, "unknown type, properties no object",
            "{'id':0,'type':'chapters','properties':['language']}", bare);
        // The index count stands in for a missing or unreadable frame count.
        const MediaTrack indexed{.codec = u"Unbekannt"_s, .language = u""_s, .elementCount = 7};
        const QByteArray indexedJson = "{'id':0,'properties':{'language':'','num_index_entries':7";
        row(false, "no frame count", indexedJson + "}}", indexed);
        for (const char *frames : {" 12", "12 ", "9223372036854775808"})
            row(false, frames, indexedJson + ",'tag_number_of_frames':'" + frames + "'}}", indexed);

        row(true, "all fields",
            "{'index':1,'codec_type':'audio','codec_name':'ac3','codec_long_name':'ATSC AC-3',"
            "'duration':'25.008000','nb_frames':'521','disposition':{'default':1,'forced':1},"
            "'tags':{'language':'ger','title':'Deutsch','DURATION':'00:00:01.0'}}",
            MediaTrack{1, TrackType::audio, u"ATSC AC-3"_s, u"ger"_s, u"Deutsch"_s, 25.008, 521,
                       true, true});
        row(true, "subtitle, tag duration, short codec name",
            "{'index':2,'codec_type':'subtitle','codec_name':'subrip','duration':'N/A',"
            "'tags':{'DURATION':'00:00:03.5'},'disposition':{'default':0,'forced':2}}",
            MediaTrack{2, TrackType::subtitles, u"subrip"_s, {}, {}, 3.5, {}, false, false});
        row(true, "unreadable fields",
            "{'index':0,'codec_type':'data','duration':' 5','nb_frames':'N/A','codec_name':1,"
            "'tags':{'DURATION':'5'},'disposition':{'default':true,'forced':'1'}}",
            bare);

        // A track without an id that is an integer in range is dropped.
        for (const bool ffprobe : {false, true})
            for (const char *json : {"{}", "{'id':'3','index':'3'}", "{'id':1.5,'index':1.5}",
                                     "{'id':1e19,'index':1e19}"})
                row(ffprobe, json, json, std::nullopt);
    }
    void parseTrack()
    {
        QFETCH(bool, ffprobe);
        QFETCH(QByteArray, json);
        QFETCH(OptionalTrack, track);
        const QJsonObject object = QJsonDocument::fromJson(json).object();
        QCOMPARE(ffprobe ? parseFfprobeStream(object) : parseMkvmergeTrack(object), track);
    }

    void fakeTools_data()
    {
        QTest::addColumn<QByteArray>("mkvmerge"); // script body; empty: no mkvmerge
        QTest::addColumn<QByteArray>("ffprobe");
        QTest::addColumn<QString>("outcome");
        QProcess unstartable; // an interpreter that does not exist
        unstartable.start(writeFakeTool(path(u"unstartable"_s), "#!/nonexistent/sh"));
        unstartable.waitForStarted();
        const auto row = [](const char *name, const QByteArray &mkvmerge, const QString &outcome,
                            const QByteArray &ffprobe = {}) {
            QTest::newRow(name) << mkvmerge << ffprobe << outcome;
        };
        // Standard error is taken whole, as UTF-8; the file name is never read as an option.
        const QByteArray arguments =
            "{ printf ' '; printf '%s|' \"$@\"; printf '\\377\\n'; } >&2; exit 2";
        const QString file = QDir::current().absoluteFilePath(oddName) + u"|\uFFFD\n"_s;
        // Over 1 MiB on each pipe; standard input must be closed, else `cat` would wait.
        const QByteArray big = "head -c 2000000 /dev/zero | tr '\\0' x";
        row("no stderr; stdout and ffprobe ignored", "echo '{\"tracks\":[]}'; exit 1",
            failed + u"mkvmerge endete mit Status 1."_s, "echo '{\"streams\":[]}'");
        // mkvmerge reports an unreadable file in its JSON and leaves standard error blank.
        row("errors in the report", "echo '{\"errors\":[\"Nicht lesbar.\\n\"]}'; echo >&2; exit 2",
            failed + u"Nicht lesbar."_s);
        row("crash without text", "kill -SEGV $$",
            failed + u"mkvmerge wurde durch Signal 11 beendet"_s);
        row("no JSON", "echo 'kein JSON'",
            QJsonParseError{0, QJsonParseError::IllegalValue}.errorString());
        row("no start", "#!/nonexistent/sh",
            u"mkvmerge ließ sich nicht starten: "_s + unstartable.errorString());
        row("array", "echo '[]'", invalid);
        row("tracks no array", "echo '{\"tracks\":{}}'", invalid);
        row("non-object track", "echo '{\"tracks\":[{\"id\":0},3]}'", invalid);
        row("tracks dropped", "echo '{\"tracks\":[{},{\"id\":\"1\"},{\"id\":2}]}'", u"1 tracks"_s);
        row("large output",
            "cat; " + big + " >&2; printf '{\"tracks\":[],\"pad\":\"'; " + big + "; echo '\"}'",
            u"0 tracks"_s);
        row("mkvmerge arguments", arguments,
            failed + u"--identify|--identification-format|json|"_s + file.trimmed());
        row("ffprobe arguments", "",
            failed + u"-v|error|-show_format|-show_streams|-of|json|"_s + file.trimmed(), arguments);
        row("neither", "", u"mkvmerge wurde nicht gefunden."_s);
    }
    void fakeTools()
    {
        QFETCH(QByteArray, mkvmerge);
        QFETCH(QByteArray, ffprobe);
        QFETCH(QString, outcome);
        const auto tool = [&](const QString &name, const QByteArray &body) {
            return body.isEmpty() ? QString() : writeFakeTool(path(name), body);
        };
        const ToolLocations tools{
            tool(u"mkvmerge"_s, mkvmerge), {}, {tool(u"ffprobe"_s, ffprobe)}, {}, {}};
        QCOMPARE(::outcome(tools, oddName), outcome);
    }

    // The real tools, found as the application finds them. ffprobe leaves out the language
    // "und"; the rest reads alike.
    void realTools_data()
    {
        QTest::addColumn<bool>("useFfprobe");
        QTest::addColumn<QString>("audioCodec");
        QTest::addColumn<QString>("textFile"); // how the outcome for a text file begins
        QTest::newRow("mkvmerge") << false << u"AC-3"_s << invalid;
        QTest::newRow("ffprobe") << true << u"ATSC A/52A (AC-3)"_s << failed;
    }
    void realTools()
    {
        QFETCH(bool, useFfprobe);
        QFETCH(QString, textFile);
        ToolLocations tools = ToolLocations::platformDefault();
        tools.bundledMkvmerge.clear(); // mkvmerge, too, passes the real architecture check
        if (useFfprobe)
            tools.mkvmergeCandidates.clear();
        QStringList expected{
            u"video und - D"_s, u"audio eng English D"_s,       u"audio ger Deutsch F"_s,
            u"audio und - "_s,  u"subtitles ger Erzwungen F"_s, u"subtitles eng - D"_s};
        if (useFfprobe)
            expected.replaceInStrings(u" und "_s, u" - "_s);
        const QUrl file = QUrl::fromLocalFile(path(u"episode.mkv"_s));
        const MediaInspection inspection = MKVInspector(tools).inspect(file);
        QStringList summaries;
        for (const MediaTrack &t : inspection.tracks)
            summaries << u"%1 %2 %3 %4%5"_s.arg(
                rawValue(t.type), t.language.value_or(u"-"_s), t.name.value_or(u"-"_s),
                t.defaultTrack ? u"D"_s : u""_s, t.forcedTrack ? u"F"_s : u""_s);
        QCOMPARE(summaries, expected);
        QCOMPARE(inspection.file, file);
        QTEST(inspection.tracks[1].codec, "audioCodec");
        QVERIFY(qAbs(inspection.duration.value_or(0) - 3.0) < 0.1);
        QVERIFY(outcome(tools, path(u"text.mkv"_s)).startsWith(textFile));
        QVERIFY(outcome(tools, path(u"missing.mkv"_s)).startsWith(failed));
    }
};

QTEST_GUILESS_MAIN(InspectionTest)
#include "tst_inspection.moc"
