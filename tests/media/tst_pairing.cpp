// Pairing the files of both folders by episode.
#include "media/Naming.h"
#include "media/Pairing.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QList<MediaFile> files(const QStringList &names, SourceKind source)
{
    QList<MediaFile> result;
    for (const QString &name : names)
        result << MediaFile{.url = QUrl::fromLocalFile(QStringLiteral("/f/") + name),
                            .source = source,
                            .episodeID = parseEpisodeID(nameWithoutExtension(name))};
    return result;
}

QString nameOrDash(const std::optional<MediaFile> &file)
{
    return file ? fileNameOf(file->url) : QStringLiteral("–");
}

// "id status folder-1 name | folder-2 name" per pair: one line says all a row shows.
QStringList describe(const QList<EpisodePair> &pairs)
{
    QStringList rows;
    for (const EpisodePair &pair : pairs) {
        rows << pair.id + u' ' + episodeLabel(pair) + u' ' + rawValue(pair.status) + u' ' +
                    nameOrDash(pair.primary) + QStringLiteral(" | ") + nameOrDash(pair.localized);
    }
    return rows;
}

} // namespace

class PairingTest final : public QObject {
    Q_OBJECT

private slots:
    void pairEpisodes_data()
    {
        QTest::addColumn<QStringList>("primary");
        QTest::addColumn<QStringList>("localized");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char *name, const QStringList &primary,
                            const QStringList &localized, const QStringList &expected) {
            QTest::newRow(name) << primary << localized << expected;
        };
        row("lone files pair whatever their numbers", {u"A.S01E01.mkv"_s}, {u"B.S01E02.mkv"_s},
            {u"single S01E01 Bereit A.S01E01.mkv | B.S01E02.mkv"_s});
        row("lone film takes folder-2 number", {u"Film.mkv"_s}, {u"Kinofilm S02E03.mkv"_s},
            {u"single S02E03 Bereit Film.mkv | Kinofilm S02E03.mkv"_s});
        row("folder 1 empty", {}, {u"S01E01.mkv"_s},
            {u"S01E01 S01E01 Datei in Ordner 1 fehlt – | S01E01.mkv"_s});
        row("two folder-1 files for one episode", {u"a.S01E01.mkv"_s, u"b.S01E01.mkv"_s},
            {u"S01E01.mkv"_s},
            {u"S01E01 S01E01 Zuordnung nicht eindeutig a.S01E01.mkv | S01E01.mkv"_s});
        row("two folder-2 files for one episode", {u"S01E05.mkv"_s},
            {u"x S01E05.mkv"_s, u"y S01E05.mkv"_s},
            {u"S01E05 S01E05 Zuordnung nicht eindeutig S01E05.mkv | x S01E05.mkv"_s});
        row("unnumbered files of both folders", {u"Bonus A.mkv"_s, u"Bonus B.mkv"_s},
            {u"S01E01.mkv"_s, u"Zusatz.mkv"_s},
            {u"S01E01 S01E01 Datei in Ordner 1 fehlt – | S01E01.mkv"_s,
             u"unmatched-Bonus A.mkv Einzeldatei Zuordnung nicht eindeutig Bonus A.mkv | "
             u"Zusatz.mkv"_s});
        row("unnumbered only in folder 2, last", {u"S01E01.mkv"_s, u"S01E02.mkv"_s},
            {u"Zusatz.mkv"_s, u"S01E01.mkv"_s},
            {u"S01E01 S01E01 Bereit S01E01.mkv | S01E01.mkv"_s,
             u"S01E02 S01E02 Datei in Ordner 2 fehlt S01E02.mkv | –"_s,
             u"unmatched-Zusatz.mkv Einzeldatei Zuordnung nicht eindeutig – | Zusatz.mkv"_s});
        row("sorted by season then episode", {u"S02E01.mkv"_s, u"S01E10.mkv"_s, u"S01E02.mkv"_s},
            {u"S00E01.mkv"_s},
            {u"S00E01 S00E01 Datei in Ordner 1 fehlt – | S00E01.mkv"_s,
             u"S01E02 S01E02 Datei in Ordner 2 fehlt S01E02.mkv | –"_s,
             u"S01E10 S01E10 Datei in Ordner 2 fehlt S01E10.mkv | –"_s,
             u"S02E01 S02E01 Datei in Ordner 2 fehlt S02E01.mkv | –"_s});
    }

    void pairEpisodes()
    {
        QFETCH(QStringList, primary);
        QFETCH(QStringList, localized);
        QFETCH(QStringList, expected);
        const QList<EpisodePair> pairs = ::pairEpisodes(files(primary, SourceKind::primary),
                                                        files(localized, SourceKind::localized));
        QCOMPARE(describe(pairs), expected);
    }
};

QTEST_GUILESS_MAIN(PairingTest)
#include "tst_pairing.moc"
