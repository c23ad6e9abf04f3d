// Reading the tools' JSON: clock durations and track fields.
#include "inspect/FfprobeReader.h"
#include "inspect/MkvmergeReader.h"

#include <QJsonDocument>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

using OptionalTrack = std::optional<MediaTrack>;

class InspectParsingTest final : public QObject {
    Q_OBJECT

private slots:
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
};

QTEST_GUILESS_MAIN(InspectParsingTest)
#include "tst_inspectparsing.moc"
