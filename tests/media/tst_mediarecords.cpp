#include "media/AnalysisIssue.h"
#include "media/MediaFile.h"

#include <QTest>

#include <algorithm>

class MediaRecordsTest final : public QObject {
    Q_OBJECT

private slots:
    void episodeText_data()
    {
        QTest::addColumn<qint64>("season");
        QTest::addColumn<qint64>("episode");
        QTest::addColumn<QString>("text");
        QTest::newRow("padded") << qint64(1) << qint64(2) << "S01E02";
        QTest::newRow("wide") << qint64(12) << qint64(345) << "S12E345";
        QTest::newRow("zero") << qint64(0) << qint64(0) << "S00E00";
    }

    void episodeText()
    {
        QFETCH(qint64, season);
        QFETCH(qint64, episode);
        QFETCH(QString, text);
        QCOMPARE((EpisodeID{season, episode}).description(), text);
    }

    void episodeOrder()
    {
        QList<EpisodeID> ids{{2, 1}, {1, 10}, {1, 2}, {-1, 99}};
        std::sort(ids.begin(), ids.end());
        QCOMPARE(ids, (QList<EpisodeID>{{-1, 99}, {1, 2}, {1, 10}, {2, 1}}));
        QVERIFY((EpisodeID{1, 2}) <= (EpisodeID{1, 2}));
        QVERIFY((EpisodeID{1, 3}) > (EpisodeID{1, 2}));
        QCOMPARE(qHash(EpisodeID{1, 2}), qHash(EpisodeID{1, 2}));
    }

    void rawValuesRoundTrip()
    {
        QCOMPARE(sourceKindFromRawValue(QStringLiteral("Ordner 2")), SourceKind::localized);
        QCOMPARE(sourceKindFromRawValue(QStringLiteral("ordner 1")), std::nullopt);
        QCOMPARE(pairStatusFromRawValue(QStringLiteral("Zuordnung nicht eindeutig")),
                 PairStatus::ambiguous);
        QCOMPARE(pairStatusFromRawValue(QStringLiteral("bereit")), std::nullopt);
        for (const char *type : {"video", "audio", "subtitles", "buttons", "unknown"}) {
            const auto converted = trackTypeFromRawValue(QString::fromLatin1(type));
            QVERIFY(converted);
            QCOMPARE(rawValue(*converted), QString::fromLatin1(type));
        }
        QCOMPARE(trackTypeFromRawValue(QStringLiteral("subtitle")), std::nullopt);
        QCOMPARE(trackTypeFromRawValue(QStringLiteral("Video")), std::nullopt);
        QCOMPARE(severityFromRawValue(2), AnalysisIssueSeverity::error);
        QCOMPARE(severityFromRawValue(3), std::nullopt);
        QCOMPARE(severityFromRawValue(-1), std::nullopt);
    }

    void mediaFileEqualityCoversEveryField()
    {
        const QUrl a = QUrl::fromLocalFile(QStringLiteral("/s/a.srt"));
        const QUrl b = QUrl::fromLocalFile(QStringLiteral("/s/b.srt"));
        const MediaFile file{QUrl::fromLocalFile(QStringLiteral("/s/S01E02.mkv")),
                             SourceKind::primary,
                             EpisodeID{1, 2},
                             {a, b}};
        MediaFile same = file;
        QCOMPARE(same, file);
        QCOMPARE(qHash(same), qHash(file));

        MediaFile reordered = file;
        reordered.sidecarSubtitles = {b, a};
        QVERIFY(reordered != file);
        MediaFile fewer = file;
        fewer.sidecarSubtitles = {a};
        QVERIFY(fewer != file);
        MediaFile otherSource = file;
        otherSource.source = SourceKind::localized;
        QVERIFY(otherSource != file);
        MediaFile noEpisode = file;
        noEpisode.episodeID.reset();
        QVERIFY(noEpisode != file);
    }

    void issuesAreDistinctEntries()
    {
        const AnalysisIssue first(AnalysisIssueSeverity::warning, QStringLiteral("Text"));
        const AnalysisIssue second(AnalysisIssueSeverity::warning, QStringLiteral("Text"));
        QVERIFY(first.id != second.id);
        QVERIFY(!first.id.isNull());
    }
};

QTEST_GUILESS_MAIN(MediaRecordsTest)
#include "tst_mediarecords.moc"
