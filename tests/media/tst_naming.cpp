// Episode numbers from file names, pairing by them, output file names and sanitised names.
#include "media/Naming.h"
#include "media/Pairing.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// A file of that name, none for an empty name.
std::optional<MediaFile> fileNamed(const QString &name)
{
    if (name.isEmpty())
        return std::nullopt;
    return MediaFile{.url = QUrl::fromLocalFile(QStringLiteral("/serie/") + name)};
}

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

class NamingTest final : public QObject {
    Q_OBJECT

private slots:
    void parseEpisodeID_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<std::optional<EpisodeID>>("expected");
        const auto row = [](const char *name, std::optional<EpisodeID> expected) {
            QTest::newRow(name) << QString::fromUtf8(name) << expected;
        };
        row("Show.S01E02.720p", EpisodeID{1, 2});
        row("show s1e5 title", EpisodeID{1, 5});
        for (const char *spaced : {"S01 E02", "S01_E02", "S01.E02", "S01-E02", "S01 - E02",
                                   "(S01E02)", "[s01e02]", "S01E02-E03", "S01E02 S01E03"})
            row(spaced, EpisodeID{1, 2});
        row("S01E100", EpisodeID{1, 100});
        row("Serie ſ01E02", EpisodeID{1, 2}); // case-insensitive like the file browser
        for (const char *none :
             {"S01xE02", "S01E02E03", "S01E02abc", "XS01E02", "1S01E02", "S123E01", "S01E1234",
              "Season 1 Episode 2", "1x02", "Kinofilm", "S01", ""})
            row(none, std::nullopt);
        // Digits of another script form the first token but do not convert; no later token counts.
        row("S٠١E٠٢ S01E03", std::nullopt);
    }

    void parseEpisodeID()
    {
        QFETCH(QString, name);
        QTEST(::parseEpisodeID(name), "expected");
    }

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

    void outputFileName_data()
    {
        QTest::addColumn<std::optional<EpisodeID>>("episode");
        QTest::addColumn<QString>("localized"); // empty: the pair has no such file
        QTest::addColumn<QString>("primary");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, std::optional<EpisodeID> episode,
                            QAnyStringView localized, QAnyStringView primary,
                            QAnyStringView expected) {
            QTest::newRow(name) << episode << localized.toString() << primary.toString()
                                << expected.toString();
        };
        const EpisodeID s01e02{1, 2};
        const QString any = u"S09E09 Egal.mkv"_s;
        row("dotted title, the pair's number", EpisodeID{1, 3}, "s01e02.Der.Anfang.German.mkv", any,
            "S01E03 - Der.Anfang.German.mkv");
        row("only separators", s01e02, "S01E02 -.mkv", any, "S01E02.mkv");
        row("tab and dashes trimmed", s01e02, u"S01E02\t– Titel —.mkv"_s, any,
            "S01E02 - Titel.mkv");
        row("folder 1 name", s01e02, "", "The.Show.S01E02.mkv", "S01E02 - The.Show.S01E02.mkv");
        row("forbidden characters", s01e02, "S01E02 - Teil 1: Der Anfang?.mkv", any,
            "S01E02 - Teil 1_ Der Anfang_.mkv");
        row("film with a reserved name", std::nullopt, "con.mkv", any, "_con.mkv");
        // Names are cut at a character so that the whole name fits in 255 bytes of UTF-8.
        const QString umlauts(200, u'ä');
        const QString letters(241, u'a');
        row("long title cut to 255 bytes", s01e02, u"S01E02 - %1.mkv"_s.arg(umlauts), any,
            u"S01E02 - %1.mkv"_s.arg(umlauts.left(121)));
        row("long film name cut to 255 bytes", std::nullopt, u"x%1.mkv"_s.arg(umlauts), any,
            u"x%1.mkv"_s.arg(umlauts.left(125)));
        row("separator at the cut trimmed", s01e02, u"S01E02 - %1 - Ende.mkv"_s.arg(letters), any,
            u"S01E02 - %1.mkv"_s.arg(letters));
    }

    void outputFileName()
    {
        QFETCH(std::optional<EpisodeID>, episode);
        QFETCH(QString, localized);
        QFETCH(QString, primary);
        const EpisodePair pair{
            .episodeID = episode, .primary = fileNamed(primary), .localized = fileNamed(localized)};
        QTEST(::outputFileName(pair), "expected");
    }

    void sanitizeFileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, QAnyStringView input, QAnyStringView expected) {
            QTest::newRow(name) << input.toString() << expected.toString();
        };
        row("LPT9", "LPT9.mkv", "_LPT9.mkv");
        row("COM10", "COM10.mkv", "COM10.mkv");
        row("nul without extension", "nul", "_nul");
        row("trim spaces and periods", " .name. ", "name");
        row("only periods", "...", "_");
        row("a control character and the nine forbidden", "a\t<>:\"/\\|?*b", "a__________b");
        row("private use and noncharacters, one underscore each",
            QString::fromUcs4(U"a\uE000b\uFDD0c\U0010FFFFd"), "a_b_c_d");
        row("U+007F kept", QString(QChar(0x7F)), QString(QChar(0x7F)));
        row("emoji and umlaut kept", u"\U0001F37F Mädchen.mkv"_s, u"\U0001F37F Mädchen.mkv"_s);
        row("lone surrogate", QString(QChar(0xD800)), QString(QChar(0xFFFD)));
    }

    void sanitizeFileName()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(::sanitizeFileName(name), expected);
    }
};

QTEST_GUILESS_MAIN(NamingTest)
#include "tst_naming.moc"
