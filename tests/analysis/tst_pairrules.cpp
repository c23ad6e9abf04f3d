#include "analysis/LanguageCodes.h"
#include "analysis/PairRules.h"
#include "model/IssueLine.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString noGerman(const QString &label = u"S01E01"_s)
{
    return u"[Fehler] %1: Keine deutsche Audiospur gefunden."_s.arg(label);
}

const QString assumedGerman = u"[Hinweis] S01E01: Mindestens eine Audiospur aus Ordner 2 hat "
                              u"keine Sprachkennung und wird als Deutsch (deu) behandelt."_s;
const QString assumedEnglish = u"[Hinweis] S01E01: Mindestens eine Audiospur aus Ordner 1 hat "
                               u"keine Sprachkennung und wird als Englisch (eng) behandelt."_s;

QString skippedEnglish(int id, const QString &label = u"S01E01"_s)
{
    return u"[Hinweis] %1: Englische Audiospur %2 aus Ordner 2 wird übersprungen; Englisch "
           u"stammt aus Ordner 1."_s.arg(label, QString::number(id));
}

QString skippedGerman(int id)
{
    return u"[Hinweis] S01E01: Deutsche Audiospur %1 aus Ordner 1 wird übersprungen; Deutsch "
           u"stammt aus Ordner 2."_s.arg(id);
}

QString timesDiffer(const QString &severity, const QString &seconds)
{
    return u"[%1] S01E01: Die Laufzeiten unterscheiden sich um %2 Sekunden."_s.arg(severity,
                                                                                   seconds);
}

QString palSpeedup(const QString &seconds)
{
    return u"[Hinweis] S01E01: 25→23,976-PAL-Speedup erkannt (%1 Sekunden Differenz); wird beim "
           u"Muxen automatisch korrigiert."_s.arg(seconds);
}

// The pairs and inspections an analysis hands to the rules.
struct Analysis {
    QList<EpisodePair> pairs;
    QHash<QUrl, MediaInspection> inspections;

    // A ready pair S01E0n, both files inspected. Each file starts with an untagged video track
    // (id 0), as many releases do; then come audio tracks in the given languages with ids from
    // 1, "" for one without language tag.
    EpisodePair &add(const QStringList &folder1Audio, const QStringList &folder2Audio,
                     std::optional<double> folder1Seconds = {},
                     std::optional<double> folder2Seconds = {})
    {
        EpisodePair &pair = pairs.emplace_back();
        pair.episodeID = EpisodeID{1, pairs.size()};
        pair.status = PairStatus::ready;
        pair.primary = inspectedFile(u"/eins/%1.mkv"_s, folder1Audio, folder1Seconds);
        pair.localized = inspectedFile(u"/zwei/%1.mkv"_s, folder2Audio, folder2Seconds);
        return pair;
    }

    MediaFile inspectedFile(const QString &path, const QStringList &audioLanguages,
                            std::optional<double> seconds)
    {
        MediaFile file{QUrl::fromLocalFile(path.arg(pairs.size())), {}, {}, {}};
        MediaInspection &inspection = inspections[file.url];
        inspection = {file.url, seconds, {MediaTrack{.type = TrackType::video}}};
        for (const QString &language : audioLanguages) {
            MediaTrack &audio = inspection.tracks.emplace_back(
                MediaTrack{.id = inspection.tracks.size(), .type = TrackType::audio});
            if (!language.isEmpty())
                audio.language = language;
        }
        return file;
    }

    QStringList findings() const
    {
        QStringList lines;
        for (const AnalysisIssue &issue : evaluatePairs(pairs, inspections))
            lines << issueLine(issue);
        return lines;
    }
};

} // namespace

Q_DECLARE_METATYPE(LanguageClass)

class TestPairRules : public QObject {
    Q_OBJECT

private slots:
    void languages_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("code");
        QTest::addColumn<LanguageClass>("kind");
        const auto row = [](const char *language, const char *code, LanguageClass kind) {
            QTest::newRow(language)
                << QString::fromUtf8(language) << QString::fromUtf8(code) << kind;
        };
        row("de-DE", "de", LanguageClass::german);
        row("GER", "ger", LanguageClass::german);
        row("--deu", "deu", LanguageClass::german);
        row("en-US", "en", LanguageClass::english);
        row("ENG", "eng", LanguageClass::english);
        row("pt-br", "pt", LanguageClass::other);
        row("", "", LanguageClass::other);
        row("-", "-", LanguageClass::other);
        row("de_AT", "de_at", LanguageClass::other);
        row("germ", "germ", LanguageClass::other);
    }
    void languages()
    {
        QFETCH(QString, language);
        QFETCH(QString, code);
        QFETCH(LanguageClass, kind);
        QCOMPARE(normalizedLanguageCode(language), code);
        QCOMPARE(classifyLanguage(MediaTrack{.language = language}), kind);
        QCOMPARE(classifyLanguage(MediaTrack{}), LanguageClass::untagged);
    }

    void audioLanguages_data()
    {
        QTest::addColumn<QStringList>("folder1Audio"); // "": no language tag
        QTest::addColumn<QStringList>("folder2Audio");
        QTest::addColumn<QStringList>("findings");
        QTest::newRow("folder 2 English only") << QStringList{u"eng"_s} << QStringList{u"eng"_s}
                                               << QStringList{noGerman(), skippedEnglish(1)};
        QTest::newRow("folder 2 untagged and fra beside German: one note")
            << QStringList{u"eng"_s} << QStringList{u"ger"_s, u""_s, u"fra"_s}
            << QStringList{assumedGerman};
        QTest::newRow("folder 1 untagged and fra beside English: one note")
            << QStringList{u"eng"_s, u""_s, u"fra"_s} << QStringList{u"ger"_s}
            << QStringList{assumedEnglish};
        QTest::newRow("folder 1 German only: no rule asks for English")
            << QStringList{u"ger"_s} << QStringList{u"ger"_s} << QStringList{skippedGerman(1)};
        QTest::newRow("folder 1 English and German")
            << QStringList{u"eng"_s, u"ger"_s} << QStringList{u"ger"_s}
            << QStringList{skippedGerman(2)};
        QTest::newRow("rules in order")
            << QStringList{u"ger"_s, u""_s, u"ger"_s} << QStringList{u""_s, u"eng"_s, u"eng"_s}
            << QStringList{assumedGerman,  skippedEnglish(2), skippedEnglish(3),
                           assumedEnglish, skippedGerman(1),  skippedGerman(3)};
    }
    void audioLanguages()
    {
        QFETCH(QStringList, folder1Audio);
        QFETCH(QStringList, folder2Audio);
        Analysis analysis;
        analysis.add(folder1Audio, folder2Audio);
        QTEST(analysis.findings(), "findings");
    }

    void runningTimes_data()
    {
        QTest::addColumn<std::optional<double>>("folder1Seconds");
        QTest::addColumn<std::optional<double>>("folder2Seconds");
        QTest::addColumn<QString>("finding"); // empty: none
        const auto row = [](const char *name, std::optional<double> folder1,
                            std::optional<double> folder2, const QString &finding) {
            QTest::newRow(name) << folder1 << folder2 << finding;
        };
        row("1 s apart", 1500, 1501, {});
        row("1.5 s apart", 1500, 1501.5, timesDiffer(u"Hinweis"_s, u"1.50"_s));
        row("5 s apart", 1505, 1500, timesDiffer(u"Hinweis"_s, u"5.00"_s));
        row("7.5 s apart", 2637.5, 2630, timesDiffer(u"Warnung"_s, u"7.50"_s));
        row("PAL speed-up", 2637.5, 2529.5, palSpeedup(u"108.00"_s));
        row("ratio 0.0019 below PAL: within tolerance", 1040.81, 1000, palSpeedup(u"40.81"_s));
        row("ratio 0.0021 below PAL: outside tolerance", 1040.6, 1000,
            timesDiffer(u"Warnung"_s, u"40.60"_s));
        row("folder 2 longer by the PAL ratio", 2529.5, 2637.5,
            timesDiffer(u"Warnung"_s, u"108.00"_s));
        row("folder 2 of zero length", 1500, 0, timesDiffer(u"Warnung"_s, u"1500.00"_s));
        row("folder 2 length unknown", 2637.5, std::nullopt, {});
        row("not a number", qQNaN(), 1500, {});
        row("infinite", 1500, qInf(), {});
    }
    void runningTimes()
    {
        QFETCH(std::optional<double>, folder1Seconds);
        QFETCH(std::optional<double>, folder2Seconds);
        QFETCH(QString, finding);
        Analysis analysis;
        analysis.add({u"eng"_s}, {u"ger"_s}, folder1Seconds, folder2Seconds);
        QCOMPARE(analysis.findings(), finding.isEmpty() ? QStringList{} : QStringList{finding});
    }

    void onlyReadyInspectedPairsAreJudged()
    {
        // Folder 2 holds English audio only: every pair judged gives findings.
        Analysis analysis;
        EpisodePair &judged = analysis.add({u"eng"_s}, {u"eng"_s}, 1500, 1510);
        judged.primary->sidecarSubtitles.resize(1);
        judged.localized->sidecarSubtitles.resize(3);
        for (const PairStatus status :
             {PairStatus::missingPrimary, PairStatus::missingLocalized, PairStatus::ambiguous})
            analysis.add({u"eng"_s}, {u"eng"_s}).status = status;
        const QUrl folder1Uninspected = analysis.add({u"eng"_s}, {u"eng"_s}).primary->url;
        const QUrl folder2Uninspected = analysis.add({u"eng"_s}, {u"eng"_s}).localized->url;
        analysis.inspections.remove(folder1Uninspected);
        analysis.inspections.remove(folder2Uninspected);
        analysis.add({u"eng"_s}, {u"eng"_s}).localized.reset();
        analysis.add({u"eng"_s}, {u"eng"_s}).episodeID.reset();

        QCOMPARE(analysis.findings(),
                 (QStringList{noGerman(), skippedEnglish(1),
                              u"[Hinweis] S01E01: 4 externe Untertiteldatei(en) zugeordnet."_s,
                              timesDiffer(u"Warnung"_s, u"10.00"_s), noGerman(u"Einzeldatei"_s),
                              skippedEnglish(1, u"Einzeldatei"_s)}));
    }
};

QTEST_GUILESS_MAIN(TestPairRules)
#include "tst_pairrules.moc"
