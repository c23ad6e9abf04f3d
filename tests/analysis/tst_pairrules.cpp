#include "analysis/LanguageCodes.h"
#include "analysis/PairRules.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The findings by short name, as "<I|W|E> <label>: <message>"; %1 is the label, %2 a number.
const QHash<QString, QString> findings{
    {u"noDe"_s, u"E %1: Keine deutsche Audiospur gefunden."_s},
    {u"de?"_s, u"I %1: Mindestens eine Audiospur aus Ordner 2 hat keine Sprachkennung und "
               u"wird als Deutsch (deu) behandelt."_s},
    {u"en?"_s, u"I %1: Mindestens eine Audiospur aus Ordner 1 hat keine Sprachkennung und "
               u"wird als Englisch (eng) behandelt."_s},
    {u"-en"_s, u"I %1: Englische Audiospur %2 aus Ordner 2 wird übersprungen; Englisch "
               u"stammt aus Ordner 1."_s},
    {u"-de"_s, u"I %1: Deutsche Audiospur %2 aus Ordner 1 wird übersprungen; Deutsch stammt "
               u"aus Ordner 2."_s},
    {u"srt"_s, u"I %1: %2 externe Untertiteldatei(en) zugeordnet."_s},
    {u"pal"_s, u"I %1: 25→23,976-PAL-Speedup erkannt (%2 Sekunden Differenz); wird beim "
               u"Muxen automatisch korrigiert."_s},
    {u"I"_s, u"I %1: Die Laufzeiten unterscheiden sich um %2 Sekunden."_s},
    {u"W"_s, u"W %1: Die Laufzeiten unterscheiden sich um %2 Sekunden."_s}};

// "ger", "-" (untagged), "video:ger", "subtitles:ger": a track with the given id.
MediaTrack track(qint64 id, const QString &token)
{
    MediaTrack result;
    result.id = id;
    result.type = trackTypeFromRawValue(token.section(u':', 0, 0)).value_or(TrackType::audio);
    if (const QString language = token.section(u':', -1); language != u"-")
        result.language = language;
    return result;
}

} // namespace

Q_DECLARE_METATYPE(LanguageClass)

class TestPairRules : public QObject {
    Q_OBJECT

private slots:
    void languages_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<LanguageClass>("kind");
        QTest::newRow("de-DE") << u"de"_s << LanguageClass::german;
        QTest::newRow("GER") << u"ger"_s << LanguageClass::german;
        QTest::newRow("--deu") << u"deu"_s << LanguageClass::german;
        QTest::newRow("en-US") << u"en"_s << LanguageClass::english;
        QTest::newRow("ENG") << u"eng"_s << LanguageClass::english;
        QTest::newRow("") << u""_s << LanguageClass::other;
        QTest::newRow("-") << u"-"_s << LanguageClass::other;
        QTest::newRow("de_AT") << u"de_at"_s << LanguageClass::other;
        QTest::newRow("germ") << u"germ"_s << LanguageClass::other;
    }
    void languages()
    {
        QFETCH(QString, code);
        QFETCH(LanguageClass, kind);
        const QString language = QString::fromUtf8(QTest::currentDataTag());
        QCOMPARE(normalizedLanguageCode(language), code);
        MediaTrack tagged;
        tagged.language = language;
        QCOMPARE(classifyLanguage(tagged), kind);
        QCOMPARE(classifyLanguage(MediaTrack{}), LanguageClass::untagged);
    }

    // Pairs separated by ";": "<folder 1>|<folder 2>[|single, or PairStatus 1, 2, 3]". A side
    // holds tracks (see track(); ids count from 1), "@seconds", "+n" sidecar subtitles, "!" (not
    // inspected) and "x" (no file); one without tracks has an audio track in its folder's
    // language. Pair n is S01E0n. Expected: "[label:]finding[ number]", label S01E01 by default.
    void evaluate_data()
    {
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QString &pairs, const QString &expected) {
            QTest::newRow(name) << pairs << expected;
        };
        row("not ready or not fully inspected", u"|eng|1;|eng|2;|eng|3;!|eng;|eng !;|eng x"_s, {});
        row("video and subtitle tags never count", u"|video:ger eng subtitles:ger eng"_s,
            u"noDe;-en 2;-en 4"_s);
        row("folder 2: untagged, fra, de_AT assumed German, de-AT German",
            u"|- -;|ger fra;|de_AT;|de-AT"_s, u"de?;S01E02:de?;S01E03:de?"_s);
        row("folder 1: German skipped, no English needed", u"ger eng subtitles:ger|;ger|;- -|"_s,
            u"-de 1;S01E02:-de 1;S01E03:en?"_s);
        row("rules in order", u"ger - ger @1500 +3|- eng eng @1510 +1"_s,
            u"de?;-en 2;-en 3;en?;-de 1;-de 3;srt 4;W 10.00"_s);
        row("differences 1, 1.5, 5, 7.5", u"@1500|@1501;@1500|@1501.5;@1505|@1500;@2637.5|@2630"_s,
            u"S01E02:I 1.50;S01E03:I 5.00;S01E04:W 7.50"_s);
        row("PAL only for folder 1 longer", u"@2637.5|@2529.5;@2529.5|@2637.5;@1500|@0"_s,
            u"pal 108.00;S01E02:W 108.00;S01E03:W 1500.00"_s);
        row("no running time", u"@nan|@1500;@1500|@inf;@2637.5|"_s, {});
        row("pairs in order, single file", u"|video:ger;|eng|3;@1500|@1502;+1 @1500|@1503|single"_s,
            u"noDe;S01E03:I 2.00;Einzeldatei:srt 1;Einzeldatei:I 3.00"_s);
    }
    void evaluate()
    {
        QFETCH(QString, pairs);
        QFETCH(QString, expected);
        QList<EpisodePair> episodes;
        QHash<QUrl, MediaInspection> inspections;
        for (const QString &description : pairs.split(u';')) {
            const QStringList parts = description.split(u'|');
            EpisodePair &pair = episodes.emplace_back();
            pair.episodeID = EpisodeID{1, episodes.size()};
            if (parts.value(2) == u"single")
                pair.episodeID.reset();
            pair.status = PairStatus(parts.value(2).toInt());
            for (const int folder : {0, 1}) {
                MediaFile file;
                file.url = QUrl::fromLocalFile(u"/%1/%2.mkv"_s.arg(folder).arg(episodes.size()));
                MediaInspection inspection{file.url, {}, {}};
                bool present = true, inspected = true;
                for (const QString &token : parts[folder].split(u' ', Qt::SkipEmptyParts)) {
                    if (token == u"x" || token == u"!")
                        (token == u"x" ? present : inspected) = false;
                    else if (token.startsWith(u'@'))
                        inspection.duration = token.mid(1).toDouble();
                    else if (token.startsWith(u'+'))
                        file.sidecarSubtitles.resize(token.toInt());
                    else
                        inspection.tracks << track(inspection.tracks.size() + 1, token);
                }
                if (inspection.tracks.isEmpty())
                    inspection.tracks << track(1, folder ? u"ger"_s : u"eng"_s);
                if (inspected)
                    inspections.insert(file.url, inspection);
                (folder ? pair.localized : pair.primary) =
                    present ? std::optional(file) : std::nullopt;
            }
        }

        QStringList actual, wanted;
        for (const AnalysisIssue &issue : evaluatePairs(episodes, inspections))
            actual << QChar(u"IWE"[rawValue(issue.severity)]) + u' ' + issue.message;
        for (const QString &item : expected.split(u';', Qt::SkipEmptyParts)) {
            const qsizetype colon = item.indexOf(u':');
            const QStringList words = item.mid(colon + 1).split(u' ');
            wanted << QString(findings.value(words[0]))
                          .replace(u"%1"_s, colon < 0 ? u"S01E01"_s : item.left(colon))
                          .replace(u"%2"_s, words.value(1));
        }
        QCOMPARE(actual, wanted);
    }
};

QTEST_GUILESS_MAIN(TestPairRules)
#include "tst_pairrules.moc"
