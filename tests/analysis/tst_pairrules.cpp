#include "analysis/LanguageCodes.h"
#include "analysis/PairRules.h"

#include <QTest>

#include <limits>

namespace {

MediaTrack track(qint64 id, std::optional<QString> language, TrackType type = TrackType::audio)
{
    MediaTrack result;
    result.id = id;
    result.type = type;
    result.language = std::move(language);
    return result;
}

MediaTrack ger(qint64 id)
{
    return track(id, QStringLiteral("ger"));
}
MediaTrack eng(qint64 id)
{
    return track(id, QStringLiteral("eng"));
}
MediaTrack untagged(qint64 id)
{
    return track(id, std::nullopt);
}

// One folder's file of a pair.
struct Side {
    QList<MediaTrack> tracks;
    std::optional<double> duration;
    int sidecars = 0;
    bool present = true;
    bool inspected = true;
};

// The defaults yield no finding at all, so each row states only what it changes.
struct Episode {
    std::optional<EpisodeID> id = EpisodeID{1, 1};
    Side primary = {{eng(1)}, std::nullopt};
    Side localized = {{ger(1)}, std::nullopt};
    PairStatus status = PairStatus::ready;
};
using Episodes = QList<Episode>;

Episode folder1(const QList<MediaTrack> &tracks)
{
    Episode episode;
    episode.primary.tracks = tracks;
    return episode;
}

Episode folder2(const QList<MediaTrack> &tracks)
{
    Episode episode;
    episode.localized.tracks = tracks;
    return episode;
}

Episode durations(double primary, double localized)
{
    Episode episode;
    episode.primary.duration = primary;
    episode.localized.duration = localized;
    return episode;
}

const QString noGerman = QStringLiteral("E S01E01: Keine deutsche Audiospur gefunden.");
const QString assumedGerman =
    QStringLiteral("I S01E01: Mindestens eine Audiospur aus Ordner 2 hat keine Sprachkennung "
                   "und wird als Deutsch (deu) behandelt.");
const QString assumedEnglish =
    QStringLiteral("I S01E01: Mindestens eine Audiospur aus Ordner 1 hat keine Sprachkennung "
                   "und wird als Englisch (eng) behandelt.");

QString skippedEnglish(int id)
{
    return QStringLiteral("I S01E01: Englische Audiospur %1 aus Ordner 2 wird übersprungen; "
                          "Englisch stammt aus Ordner 1.")
        .arg(id);
}

QString skippedGerman(int id)
{
    return QStringLiteral("I S01E01: Deutsche Audiospur %1 aus Ordner 1 wird übersprungen; "
                          "Deutsch stammt aus Ordner 2.")
        .arg(id);
}

QString runningTimes(char severity, const char *seconds, const char *label = "S01E01")
{
    return QStringLiteral("%1 %2: Die Laufzeiten unterscheiden sich um %3 Sekunden.")
        .arg(QString(QLatin1Char(severity)), QLatin1String(label), QLatin1String(seconds));
}

} // namespace

Q_DECLARE_METATYPE(LanguageClass)
Q_DECLARE_METATYPE(Episodes)

class TestPairRules : public QObject {
    Q_OBJECT

private slots:
    void languages_data();
    void languages();
    void evaluate_data();
    void evaluate();
};

void TestPairRules::languages_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("code");
    QTest::addColumn<LanguageClass>("kind");

    const auto row = [](const char *language, const char *code, LanguageClass kind) {
        QTest::newRow(language) << QString::fromUtf8(language) << QString::fromUtf8(code) << kind;
    };
    row("de-DE", "de", LanguageClass::german);
    row("GER", "ger", LanguageClass::german);
    row("deu", "deu", LanguageClass::german);
    row("--de", "de", LanguageClass::german);
    row("en-US", "en", LanguageClass::english);
    row("ENG", "eng", LanguageClass::english);
    row("pt-br", "pt", LanguageClass::other);
    row("", "", LanguageClass::other);
    row("-", "-", LanguageClass::other);
    row("de_AT", "de_at", LanguageClass::other);
    row("germ", "germ", LanguageClass::other);
}

void TestPairRules::languages()
{
    QFETCH(QString, language);
    QFETCH(QString, code);
    QFETCH(LanguageClass, kind);

    QCOMPARE(normalizedLanguageCode(language), code);
    QCOMPARE(classifyLanguage(track(1, language)), kind);
    QCOMPARE(classifyLanguage(untagged(1)), LanguageClass::untagged);
}

void TestPairRules::evaluate_data()
{
    QTest::addColumn<Episodes>("episodes");
    QTest::addColumn<QStringList>("expected");
    const auto row = [](const char *name, const Episodes &episodes, const QStringList &expected) {
        QTest::newRow(name) << episodes << expected;
    };

    row("clean pair", {Episode{}}, {});
    for (const PairStatus status :
         {PairStatus::missingPrimary, PairStatus::missingLocalized, PairStatus::ambiguous}) {
        Episode episode = folder2({});
        episode.status = status;
        QTest::addRow("%s", qPrintable(rawValue(status))) << Episodes{episode} << QStringList{};
    }
    Episode uninspected1 = folder2({}), uninspected2 = folder2({}), withoutFile = folder2({});
    uninspected1.primary.inspected = false;
    uninspected2.localized.inspected = false;
    withoutFile.localized.present = false;
    row("folder 1 not inspected", {uninspected1}, {});
    row("folder 2 not inspected", {uninspected2}, {});
    row("ready without folder 2 file", {withoutFile}, {});

    // Video and subtitle tags never stand in for audio.
    row("folder 2 english audio only",
        {folder2({track(0, QStringLiteral("ger"), TrackType::video), eng(1),
                  track(2, QStringLiteral("ger"), TrackType::subtitles), eng(3)})},
        {noGerman, skippedEnglish(1), skippedEnglish(3)});
    row("several untagged in folder 2", {folder2({untagged(1), untagged(2)})}, {assumedGerman});
    row("fra in folder 2", {folder2({ger(1), track(2, QStringLiteral("fra"))})}, {assumedGerman});
    row("de-AT", {folder2({track(1, QStringLiteral("de-AT"))})}, {});
    row("de_AT", {folder2({track(1, QStringLiteral("de_AT"))})}, {assumedGerman});
    row("folder 1 ger and eng",
        {folder1({ger(1), eng(2), track(3, QStringLiteral("ger"), TrackType::subtitles)})},
        {skippedGerman(1)});
    row("folder 1 ger only", {folder1({ger(4)})}, {skippedGerman(4)});
    row("untagged in folder 1", {folder1({untagged(1), untagged(2)})}, {assumedEnglish});

    Episode sidecars;
    sidecars.primary.sidecars = 3;
    sidecars.localized.sidecars = 1;
    row("sidecars", {sidecars},
        {QStringLiteral("I S01E01: 4 externe Untertiteldatei(en) zugeordnet.")});

    row("1500/1501", {durations(1500, 1501)}, {});
    row("1500/1501.5", {durations(1500, 1501.5)}, {runningTimes('I', "1.50")});
    row("1505/1500", {durations(1505, 1500)}, {runningTimes('I', "5.00")});
    row("2637.5/2529.5", {durations(2637.5, 2529.5)},
        {QStringLiteral("I S01E01: 25→23,976-PAL-Speedup erkannt (108.00 Sekunden Differenz); "
                        "wird beim Muxen automatisch korrigiert.")});
    row("2529.5/2637.5", {durations(2529.5, 2637.5)}, {runningTimes('W', "108.00")});
    row("2637.5/2630", {durations(2637.5, 2630)}, {runningTimes('W', "7.50")});
    row("1500/0", {durations(1500, 0)}, {runningTimes('W', "1500.00")});
    row("0/1500", {durations(0, 1500)}, {runningTimes('W', "1500.00")});
    row("nan", {durations(std::numeric_limits<double>::quiet_NaN(), 1500)}, {});
    row("inf", {durations(1500, std::numeric_limits<double>::infinity())}, {});
    Episode oneDuration;
    oneDuration.primary.duration = 2637.5;
    row("one duration missing", {oneDuration}, {});

    Episode single = durations(1500, 1502);
    single.id = std::nullopt;
    row("single file", {single}, {runningTimes('I', "2.00", "Einzeldatei")});

    Episode everything = durations(1500, 1510);
    everything.localized = {{untagged(1), eng(2), eng(3)}, 1510, 2};
    everything.primary.tracks = {ger(1), untagged(2), ger(5)};
    row("rules in order", {everything},
        {assumedGerman, skippedEnglish(2), skippedEnglish(3), assumedEnglish, skippedGerman(1),
         skippedGerman(5), QStringLiteral("I S01E01: 2 externe Untertiteldatei(en) zugeordnet."),
         runningTimes('W', "10.00")});

    Episode second = durations(1500, 1502), skipped = folder2({});
    second.id = EpisodeID{1, 2};
    skipped.status = PairStatus::ambiguous;
    row("pairs in order", {folder2({}), skipped, second},
        {noGerman, runningTimes('I', "2.00", "S01E02")});
}

void TestPairRules::evaluate()
{
    QFETCH(Episodes, episodes);
    QFETCH(QStringList, expected);

    QList<EpisodePair> pairs;
    QHash<QUrl, MediaInspection> inspections;
    for (qsizetype index = 0; index < episodes.size(); ++index) {
        const Episode &episode = episodes.at(index);
        const auto file = [&](const Side &side, const QString &folder) -> std::optional<MediaFile> {
            const QString stem = QStringLiteral("/%1/%2").arg(folder).arg(index);
            MediaFile media;
            media.url = QUrl::fromLocalFile(stem + QStringLiteral(".mkv"));
            for (int sidecar = 0; sidecar < side.sidecars; ++sidecar)
                media.sidecarSubtitles << QUrl::fromLocalFile(stem + QString::number(sidecar));
            if (side.inspected)
                inspections.insert(media.url, {media.url, side.duration, side.tracks});
            return side.present ? std::optional(media) : std::nullopt;
        };
        EpisodePair pair;
        pair.episodeID = episode.id;
        pair.primary = file(episode.primary, QStringLiteral("eins"));
        pair.localized = file(episode.localized, QStringLiteral("zwei"));
        pair.status = episode.status;
        pairs << pair;
    }

    QStringList actual;
    for (const AnalysisIssue &issue : evaluatePairs(pairs, inspections))
        actual << QChar(u"IWE"[rawValue(issue.severity)]) + u' ' + issue.message;
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(TestPairRules)
#include "tst_pairrules.moc"
