// The mux plan: track choice, names and flags, timing, sidecars and failures.
#include "ArgumentValues.h"
#include "mux/MuxError.h"
#include "mux/MuxPlan.h"
#include "mux/TrackNaming.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const auto video = [](qint64 id) { return MediaTrack{.id = id, .type = TrackType::video}; };
const auto audio = [](qint64 id, std::optional<QString> language = std::nullopt) {
    return MediaTrack{.id = id, .type = TrackType::audio, .language = language};
};
const auto subtitles = [](qint64 id, std::optional<QString> language = std::nullopt) {
    return MediaTrack{.id = id, .type = TrackType::subtitles, .language = language};
};

// The first value of `option` in `arguments`; empty where it is missing.
QString valueAfter(const QStringList &arguments, const QString &option)
{
    return valuesOf(arguments, option).value(0);
}

// The arguments that belong to one input: those after the previous input's file path.
QStringList inputArguments(const MuxPlan &plan, const QString &inputPath)
{
    const qsizetype end = plan.arguments.indexOf(inputPath);
    qsizetype start = end;
    while (start > 0 && !plan.arguments.at(start - 1).endsWith(u".mkv") &&
           !plan.arguments.at(start - 1).endsWith(u".srt"))
        --start;
    return plan.arguments.mid(start, end - start);
}

// The tracks an input's selection options take, written as in "--track-order".
QStringList selectedTracks(const QStringList &input, int inputIndex)
{
    QStringList tracks;
    for (const QString &option :
         {u"--video-tracks"_s, u"--audio-tracks"_s, u"--subtitle-tracks"_s}) {
        for (const QString &id : valueAfter(input, option).split(u',', Qt::SkipEmptyParts))
            tracks << u"%1:%2"_s.arg(inputIndex).arg(id);
    }
    return tracks;
}

} // namespace

class MuxPlanTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_output;
    EpisodePair m_pair;

    MuxPlan plan(const QList<MediaTrack> &primaryTracks, const QList<MediaTrack> &localizedTracks,
                 std::optional<double> primarySeconds = 100,
                 std::optional<double> localizedSeconds = 100,
                 std::optional<SyncCorrection> correction = {}) const
    {
        return buildMuxPlan(
            {m_pair, MediaInspection{m_pair.primary->url, primarySeconds, primaryTracks},
             MediaInspection{m_pair.localized->url, localizedSeconds, localizedTracks},
             QUrl::fromLocalFile(m_output.path()), correction},
            ToolDiscovery());
    }

private slots:
    void init()
    {
        m_pair = EpisodePair{u"S01E02"_s, EpisodeID{1, 2},
                             MediaFile{QUrl::fromLocalFile(u"/eng/Show.S01E02.mkv"_s)},
                             MediaFile{QUrl::fromLocalFile(u"/deu/S01E02 - Der Anfang.mkv"_s),
                                       SourceKind::localized},
                             PairStatus::ready};
    }

    void selectsTracksByLanguage_data()
    {
        QTest::addColumn<QList<MediaTrack>>("folder1");
        QTest::addColumn<QList<MediaTrack>>("folder2");
        QTest::addColumn<QString>("trackOrder");

        QTest::newRow("untagged audio follows its folder, German subtitles of folder 1 left out")
            << QList{video(0), audio(1, u"eng"_s), audio(2), subtitles(3, u"ger"_s)}
            << QList{video(0), audio(1, u"de-DE"_s), audio(2, u"eng"_s)} << u"0:0,1:1,0:1,0:2"_s;
        QTest::newRow("folder 2 without German audio")
            << QList{video(0), audio(1, u"eng"_s)}
            << QList{video(0), audio(1, u"en"_s), subtitles(2, u"deu"_s)} << u"0:0,0:1,1:2"_s;
        QTest::newRow("only the first video track of folder 1")
            << QList{video(4), video(5), audio(6, u"eng"_s), subtitles(7, u"eng"_s)}
            << QList{video(0), audio(1, u"deu"_s), subtitles(2, u"fre"_s)}
            << u"0:4,1:1,0:6,1:2,0:7"_s;
    }

    // The real mux shows that mkvmerge takes what the options select; here: which tracks.
    void selectsTracksByLanguage()
    {
        QFETCH(QList<MediaTrack>, folder1);
        QFETCH(QList<MediaTrack>, folder2);
        QFETCH(QString, trackOrder);

        const MuxPlan result = plan(folder1, folder2);
        const QStringList input0 = inputArguments(result, m_pair.primary->url.toLocalFile());
        const QStringList input1 = inputArguments(result, m_pair.localized->url.toLocalFile());
        QCOMPARE(valueAfter(result.arguments, u"--track-order"_s), trackOrder);
        QStringList selected = selectedTracks(input0, 0) + selectedTracks(input1, 1);
        QStringList ordered = trackOrder.split(u',');
        selected.sort();
        ordered.sort();
        QCOMPARE(selected, ordered);
        QVERIFY(!input0.contains(u"--no-chapters"_s)); // folder 1 keeps its chapters
        QVERIFY(input1.contains(u"--no-chapters"_s));
    }

    // The real mux shows the labels of one track of each kind; here: a second German audio
    // track, and a subtitle track forced by its few entries.
    void namesAndFlags()
    {
        MediaTrack full = subtitles(3, u"deu"_s), sparse = subtitles(4, u"deu"_s);
        full.elementCount = 1400;
        sparse.elementCount = 40;
        const MuxPlan result = plan({video(0), audio(1, u"eng"_s)},
                                    {video(0), audio(1, u"deu"_s), audio(2), full, sparse});

        QCOMPARE(valuesOf(result.arguments, u"--track-name"_s),
                 (QStringList{u"1:English"_s, u"1:Deutsch"_s, u"2:Deutsch"_s, u"3:Deutsch"_s,
                              u"4:Deutsch – Erzwungen"_s}));
        QCOMPARE(valuesOf(result.arguments, u"--default-track-flag"_s),
                 (QStringList{u"1:no"_s, u"1:yes"_s, u"2:no"_s, u"3:no"_s, u"4:no"_s}));
        QCOMPARE(valuesOf(result.arguments, u"--forced-display-flag"_s),
                 (QStringList{u"1:no"_s, u"1:no"_s, u"2:no"_s, u"3:no"_s, u"4:yes"_s}));
        QCOMPARE(valueAfter(result.arguments, u"--title"_s), u"S01E02 - Der Anfang"_s);
    }

    // Beyond the real mux's "Deutsch – Stereo": a name that only repeats the base, and forced
    // by name.
    void trackDisplayName_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("trackName");
        QTest::addColumn<QString>("expected");

        QTest::newRow("base in other case") << u"English"_s << u"english"_s << u"English"_s;
        QTest::newRow("blank name") << u"Deutsch"_s << u"   "_s << u"Deutsch"_s;
        QTest::newRow("named forced, not flagged")
            << u"Deutsch"_s << u"Forced Narrative"_s << u"Deutsch – Erzwungen"_s;
    }

    void trackDisplayName()
    {
        QFETCH(QString, base);
        QFETCH(QString, trackName);
        QTEST(::trackDisplayName(base, MediaTrack{.name = trackName}, false), "expected");
    }

    // When the running times show the speed-up is the pair rules' business; here: what is moved.
    void timing_data()
    {
        QTest::addColumn<std::optional<double>>("folder1Duration");
        QTest::addColumn<std::optional<double>>("folder2Duration");
        QTest::addColumn<std::optional<double>>("measuredOffset"); // German late by, seconds
        QTest::addColumn<QString>("syncValue"); // after "<track>:", empty: no "--sync"

        const std::optional<double> none;
        QTest::newRow("PAL speed-up")
            << std::optional(2595.0) << std::optional(2488.75) << none << u"0,1001/960"_s;
        QTest::newRow("folder 1 length unknown")
            << none << std::optional(2400.0) << none << QString();
        QTest::newRow("German 1.2 s late at PAL speed: the delay in output time")
            << std::optional(2595.0) << std::optional(2488.75) << std::optional(1.2)
            << u"-1200,1001/960"_s;
        QTest::newRow("German 0.8 s early, same speed")
            << std::optional(2500.0) << std::optional(2500.0) << std::optional(-0.8) << u"800"_s;
        QTest::newRow("offset below a millisecond")
            << std::optional(2500.0) << std::optional(2500.0) << std::optional(0.0004) << QString();
    }

    void timing()
    {
        QFETCH(std::optional<double>, folder1Duration);
        QFETCH(std::optional<double>, folder2Duration);
        QFETCH(std::optional<double>, measuredOffset);
        QFETCH(QString, syncValue);

        QTemporaryDir sidecars;
        const QString german = sidecars.filePath(u"S01E02.de.srt"_s);
        const QString english = sidecars.filePath(u"S01E02.en.srt"_s);
        m_pair.localized->sidecarSubtitles = {QUrl::fromLocalFile(german)};
        m_pair.primary->sidecarSubtitles = {QUrl::fromLocalFile(english)};
        const MuxPlan result =
            plan({video(0), audio(1, u"eng"_s)}, {video(0), audio(1, u"deu"_s), subtitles(2, u"deu"_s)},
                 folder1Duration, folder2Duration,
                 measuredOffset ? std::optional(SyncCorrection{*measuredOffset}) : std::nullopt);

        // Only folder-2 material is moved: German audio, German subtitles, German sidecar.
        const QStringList expected =
            syncValue.isEmpty()
                ? QStringList()
                : QStringList{u"1:"_s + syncValue, u"2:"_s + syncValue, u"0:"_s + syncValue};
        QCOMPARE(valuesOf(result.arguments, u"--sync"_s), expected);
        QCOMPARE(result.appliedSyncOffset.has_value(), measuredOffset && !syncValue.isEmpty());
        QVERIFY(inputArguments(result, german).contains(u"--sync"_s) == !syncValue.isEmpty());
    }

    // The spliced German audio starts on the lag before a cut in the opening minute; bitmap
    // subtitles that cannot follow the splices keep the lag of the rest of the episode.
    void subtitlesNotSplicedKeepTheEpisodesLag()
    {
        SyncCorrection correction{1.9, 0, {SyncCut{40, 1.9, 0.3}}};
        correction.unsplicedOffsetSeconds = 0.3;
        MediaTrack vobSub = subtitles(2, u"deu"_s);
        vobSub.codec = u"VobSub"_s;
        MuxRequest request{m_pair, MediaInspection{m_pair.primary->url, 100, {video(0)}},
                           MediaInspection{m_pair.localized->url, 100, {vobSub}},
                           QUrl::fromLocalFile(m_output.path()), correction};
        request.repairCuts = true;
        const MuxPlan result = buildMuxPlan(request, ToolDiscovery());
        QCOMPARE(result.repairedSplices.size(), 1);
        QCOMPARE(valuesOf(result.arguments, u"--sync"_s), QStringList{u"2:-300"_s});
    }

    void sidecarInputsAndOrder()
    {
        const auto url = [](const char *name) {
            return QUrl::fromLocalFile(u"/subs/"_s + QString::fromUtf8(name));
        };
        m_pair.localized->sidecarSubtitles = {url("S01E02.de.srt"), url("S01E02.de.forced.srt"),
                                              url("S01E02.en.srt")};
        m_pair.primary->sidecarSubtitles = {url("S01E02.srt"), url("S01E02.german.srt")};
        const MuxPlan result = plan({video(0), audio(1, u"eng"_s), subtitles(2, u"eng"_s)},
                                    {video(0), audio(1, u"deu"_s), subtitles(2, u"deu"_s)});

        QCOMPARE(result.skippedWrongFolderSubtitles,
                 (QStringList{u"S01E02.en.srt"_s, u"S01E02.german.srt"_s}));
        QCOMPARE(valueAfter(result.arguments, u"--track-order"_s),
                 u"0:0,1:1,0:1,1:2,2:0,3:0,0:2,4:0"_s);
        const QStringList english = inputArguments(result, u"/subs/S01E02.srt"_s);
        QCOMPARE(valueAfter(english, u"--language"_s), u"0:eng"_s);
        QCOMPARE(valueAfter(english, u"--track-name"_s), u"0:English"_s);
    }

    void failures_data()
    {
        QTest::addColumn<bool>("withFolder2File");
        QTest::addColumn<bool>("withInspections");
        QTest::addColumn<bool>("withMkvmerge");
        QTest::addColumn<bool>("outputExists");
        QTest::addColumn<QString>("expected");

        QTest::newRow("pair without folder-2 file")
            << false << false << false << true << u"Das Dateipaar ist unvollständig."_s;
        QTest::newRow("inspection missing")
            << true << false << false << true
            << u"Die Trackanalyse fehlt. Bitte die Dateien erneut analysieren."_s;
        QTest::newRow("no mkvmerge")
            << true << true << false << true
            << u"Eine aktuelle, kompatible MKVToolNix-Version wurde nicht gefunden."_s;
        QTest::newRow("existing output wins over the missing video")
            << true << true << true << true
            << u"Die Ausgabedatei existiert bereits: S01E02 - Der Anfang.mkv"_s;
        QTest::newRow("no video in folder 1")
            << true << true << true << false
            << u"Muxen fehlgeschlagen: In Ordner 1 wurde keine Videospur gefunden."_s;
    }

    void failures()
    {
        QFETCH(bool, withFolder2File);
        QFETCH(bool, withInspections);
        QFETCH(bool, withMkvmerge);
        QFETCH(bool, outputExists);
        QFETCH(QString, expected);

        if (!withFolder2File)
            m_pair.localized.reset();
        const ToolLocations tools = withMkvmerge ? ToolLocations::platformDefault() : ToolLocations{};
        QTemporaryDir output;
        if (outputExists)
            QVERIFY(QDir(output.path()).mkdir(u"S01E02 - Der Anfang.mkv"_s));
        const MediaInspection noVideo{QUrl(), 10, {audio(1, u"eng"_s)}};
        try {
            buildMuxPlan({m_pair, withInspections ? std::optional(noVideo) : std::nullopt, noVideo,
                          QUrl::fromLocalFile(output.path())},
                         ToolDiscovery(tools));
            QFAIL("the plan was built");
        } catch (const MuxError &error) {
            QCOMPARE(error.errorDescription(), expected);
        }
    }
};

QTEST_GUILESS_MAIN(MuxPlanTest)
#include "tst_muxplan.moc"
