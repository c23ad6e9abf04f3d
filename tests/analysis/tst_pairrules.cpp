// The findings about ready pairs: audio languages and running times.
#include "analysis/PairRules.h"
#include "model/IssueLine.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Findings for S01E01; %1 stands for a track id or a number of seconds.
const QString noGerman = u"[Fehler] S01E01: Keine deutsche Audiospur gefunden."_s;
const QString assumedGerman = u"[Hinweis] S01E01: Mindestens eine Audiospur aus Ordner 2 hat "
                              u"keine Sprachkennung und wird als Deutsch (deu) behandelt."_s;
const QString assumedEnglish = u"[Hinweis] S01E01: Mindestens eine Audiospur aus Ordner 1 hat "
                               u"keine Sprachkennung und wird als Englisch (eng) behandelt."_s;
const QString skippedEnglish = u"[Hinweis] S01E01: Englische Audiospur %1 aus Ordner 2 wird "
                               u"übersprungen; Englisch stammt aus Ordner 1."_s;
const QString skippedGerman = u"[Hinweis] S01E01: Deutsche Audiospur %1 aus Ordner 1 wird "
                              u"übersprungen; Deutsch stammt aus Ordner 2."_s;
const QString timesDifferNote =
    u"[Hinweis] S01E01: Die Laufzeiten unterscheiden sich um %1 Sekunden."_s;
const QString timesDifferWarning =
    u"[Warnung] S01E01: Die Laufzeiten unterscheiden sich um %1 Sekunden."_s;
const QString palSpeedup = u"[Hinweis] S01E01: 25→23,976-PAL-Speedup erkannt (%1 Sekunden "
                           u"Differenz); wird beim Muxen automatisch korrigiert."_s;

// The pairs and inspections an analysis hands to the rules.
struct Analysis {
    QList<EpisodePair> pairs;
    QHash<QUrl, MediaInspection> inspections;

    // An untagged video track (id 0), as many releases have, then audio tracks in the given
    // languages with ids from 1; "" stands for one without language tag.
    void inspect(const QUrl &file, const QStringList &audioLanguages, std::optional<double> seconds)
    {
        MediaInspection &inspection = inspections[file];
        inspection = {file, seconds, {MediaTrack{.type = TrackType::video}}};
        for (const QString &language : audioLanguages)
            inspection.tracks << MediaTrack{
                .id = inspection.tracks.size(),
                .type = TrackType::audio,
                .language = language.isEmpty() ? std::nullopt : std::optional(language)};
    }

    // Adds the ready pair S01E0n with both files inspected.
    EpisodePair &add(const QStringList &folder1Audio, const QStringList &folder2Audio,
                     std::optional<double> folder1Seconds = {},
                     std::optional<double> folder2Seconds = {})
    {
        EpisodePair &pair = pairs.emplace_back();
        pair.episodeID = EpisodeID{1, pairs.size()};
        pair.status = PairStatus::ready;
        pair.primary = MediaFile{.url = QUrl::fromLocalFile(u"/eins/%1.mkv"_s.arg(pairs.size()))};
        pair.localized = MediaFile{.url = QUrl::fromLocalFile(u"/zwei/%1.mkv"_s.arg(pairs.size()))};
        inspect(pair.primary->url, folder1Audio, folder1Seconds);
        inspect(pair.localized->url, folder2Audio, folder2Seconds);
        return pair;
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

class TestPairRules : public QObject {
    Q_OBJECT

private slots:
    void audioLanguages_data()
    {
        QTest::addColumn<QStringList>("folder1Audio"); // "": no language tag
        QTest::addColumn<QStringList>("folder2Audio");
        QTest::addColumn<QStringList>("findings");
        const auto row = [](const char *name, const QStringList &folder1Audio,
                            const QStringList &folder2Audio, const QStringList &findings) {
            QTest::newRow(name) << folder1Audio << folder2Audio << findings;
        };
        row("codes in any case, with a region or leading dashes", {u"ENG"_s, u"en-US"_s},
            {u"GER"_s, u"de-DE"_s, u"--deu"_s}, {});
        row("folder 2 unknown code germ beside German", {u"eng"_s}, {u"ger"_s, u"germ"_s},
            {assumedGerman});
        row("folder 2 untagged and a bare dash: one note", {u"eng"_s}, {u""_s, u"-"_s},
            {assumedGerman});
        row("folder 1 German only: no rule asks for English", {u"ger"_s}, {u"ger"_s},
            {skippedGerman.arg(1)});
        row("rules in order", {u"ger"_s, u""_s, u"ger"_s}, {u""_s, u"eng"_s, u"eng"_s},
            {assumedGerman, skippedEnglish.arg(2), skippedEnglish.arg(3), assumedEnglish,
             skippedGerman.arg(1), skippedGerman.arg(3)});
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
        QTest::addColumn<QStringList>("findings");
        const auto row = [](const char *name, std::optional<double> folder1Seconds,
                            std::optional<double> folder2Seconds, const QStringList &findings) {
            QTest::newRow(name) << folder1Seconds << folder2Seconds << findings;
        };
        row("1 s apart", 1500, 1501, {});
        row("5 s apart", 1505, 1500, {timesDifferNote.arg(u"5.00")});
        row("7.5 s apart", 2637.5, 2630, {timesDifferWarning.arg(u"7.50")});
        row("ratio 0.0019 below PAL: within tolerance", 1040.81, 1000, {palSpeedup.arg(u"40.81")});
        row("ratio 0.0021 below PAL: outside tolerance", 1040.6, 1000,
            {timesDifferWarning.arg(u"40.60")});
        row("folder 2 longer by the PAL ratio", 2529.5, 2637.5,
            {timesDifferWarning.arg(u"108.00")});
        row("folder 2 length unknown", 2637.5, std::nullopt, {});
        row("infinite", 1500, qInf(), {});
    }
    void runningTimes()
    {
        QFETCH(std::optional<double>, folder1Seconds);
        QFETCH(std::optional<double>, folder2Seconds);
        Analysis analysis;
        analysis.add({u"eng"_s}, {u"ger"_s}, folder1Seconds, folder2Seconds);
        QTEST(analysis.findings(), "findings");
    }

    void readyInspectedPairsAreJudgedInOrder()
    {
        // Folder 2 holds no German audio: every pair judged gives findings. The first pair also
        // has subtitle files and differing running times, whose findings follow the audio ones.
        Analysis analysis;
        EpisodePair &judged = analysis.add({u"eng"_s}, {u"eng"_s}, 1500, 1510);
        judged.primary->sidecarSubtitles.resize(1);
        judged.localized->sidecarSubtitles.resize(3);
        for (const PairStatus status :
             {PairStatus::missingPrimary, PairStatus::missingLocalized, PairStatus::ambiguous})
            analysis.add({u"eng"_s}, {}).status = status;
        // One pair whose folder-1 file went uninspected, one whose folder-2 file did.
        analysis.inspections.remove(analysis.add({u"eng"_s}, {}).primary->url);
        analysis.inspections.remove(analysis.add({u"eng"_s}, {}).localized->url);
        analysis.add({u"eng"_s}, {}).localized.reset();
        analysis.add({u"eng"_s}, {}).episodeID.reset();

        QCOMPARE(analysis.findings(),
                 (QStringList{noGerman, skippedEnglish.arg(1),
                              u"[Hinweis] S01E01: 4 externe Untertiteldatei(en) zugeordnet."_s,
                              timesDifferWarning.arg(u"10.00"),
                              u"[Fehler] Einzeldatei: Keine deutsche Audiospur gefunden."_s}));
    }
};

QTEST_GUILESS_MAIN(TestPairRules)
#include "tst_pairrules.moc"
