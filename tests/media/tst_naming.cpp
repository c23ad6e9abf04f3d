#include "media/Naming.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

MediaFile fileNamed(const QString &name, SourceKind source)
{
    return MediaFile{
        QUrl::fromLocalFile(QStringLiteral("/serie/") + name), source, std::nullopt, {}};
}

std::optional<EpisodeID> episodeFromText(const QString &text)
{
    if (text == u"–")
        return std::nullopt;
    return parseEpisodeID(text);
}

} // namespace

class NamingTest final : public QObject {
    Q_OBJECT

private slots:
    void parseEpisodeID_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("season"); // -1: no episode number
        QTest::addColumn<qint64>("episode");

        const auto row = [](const char *name, qint64 season, qint64 episode) {
            QTest::newRow(name) << QString::fromUtf8(name) << season << episode;
        };
        row("Show.S01E02.720p", 1, 2);
        row("show s1e5 title", 1, 5);
        for (const char *spaced : {"S01 E02", "S01_E02", "S01.E02", "S01-E02", "S01 - E02",
                                   "(S01E02)", "[s01e02]", "S01E02-E03", "S01E02 S01E03"})
            row(spaced, 1, 2);
        row("S01E100", 1, 100);
        row("S01E002", 1, 2);
        row("S00E00", 0, 0);
        row("Serie ſ01E02", 1, 2); // case-insensitive like the file browser
        for (const char *none :
             {"S01xE02", "S01E02E03", "S01E02abc", "XS01E02", "1S01E02", "S123E01", "S01E1234",
              "Season 1 Episode 2", "1x02", "Kinofilm", "S01", ""})
            row(none, -1, 0);
        // Digits of another script form the first token but do not convert; no later token counts.
        row("S٠١E٠٢ S01E03", -1, 0);
        row("Folge S01E02 \U0001F37F", 1, 2);
    }

    void parseEpisodeID()
    {
        QFETCH(QString, name);
        QFETCH(qint64, season);
        QFETCH(qint64, episode);
        const std::optional<EpisodeID> parsed = ::parseEpisodeID(name);
        if (season < 0) {
            QVERIFY2(!parsed, qPrintable(parsed ? parsed->description() : QString()));
        } else {
            QVERIFY(parsed);
            QCOMPARE(*parsed, (EpisodeID{season, episode}));
        }
    }

    void outputFileName_data()
    {
        QTest::addColumn<QString>("episode"); // "–": the pair has no episode number
        QTest::addColumn<QString>("localized");
        QTest::addColumn<QString>("primary");
        QTest::addColumn<QString>("expected");

        const QString any = QStringLiteral("S09E09 Egal.mkv");
        const QString none = QStringLiteral("–");
        QTest::newRow("title kept")
            << "S01E02"
            << "S01E02 - Der Anfang.mkv" << any << "S01E02 - Der Anfang.mkv";
        QTest::newRow("dotted title")
            << "S01E02"
            << "s01e02.Der.Anfang.German.mkv" << any << "S01E02 - Der.Anfang.German.mkv";
        QTest::newRow("no title") << "S01E02"
                                  << "S01E02.mkv" << any << "S01E02.mkv";
        QTest::newRow("only separators") << "S01E02"
                                         << "S01E02 -.mkv" << any << "S01E02.mkv";
        QTest::newRow("tab trimmed") << "S01E05"
                                     << "S01E05\tTitel.mkv" << any << "S01E05 - Titel.mkv";
        QTest::newRow("dashes trimmed") << "S01E02"
                                        << "S01E02 – Titel —.mkv" << any << "S01E02 - Titel.mkv";
        QTest::newRow("token inside") << "S01E02"
                                      << "Serie.S01E02.mkv" << any << "S01E02 - Serie.S01E02.mkv";
        QTest::newRow("folder 1 name") << "S01E02" << none << "The.Show.S01E02.mkv"
                                       << "S01E02 - The.Show.S01E02.mkv";
        QTest::newRow("pair number wins") << "S01E03"
                                          << "S01E02 - X.mkv" << any << "S01E03 - X.mkv";
        QTest::newRow("film") << none << "Film.mkv" << any << "Film.mkv";
        QTest::newRow("forbidden characters")
            << "S01E02"
            << "S01E02 - Teil 1: Der Anfang?.mkv" << any << "S01E02 - Teil 1_ Der Anfang_.mkv";
        QTest::newRow("no files") << none << none << none << "Unbekannt.mkv";
        QTest::newRow("reserved film name") << none << "con.mkv" << any << "_con.mkv";
        QTest::newRow("leading at sign") << none << "@Film.mkv" << any << "@Film.mkv";
        // Names are cut at a character so that the whole name fits in 255 bytes of UTF-8.
        const QString umlauts(200, u'ä');
        const QString letters(241, u'a');
        QTest::newRow("long title cut to 255 bytes")
            << "S01E02" << u"S01E02 - %1.mkv"_s.arg(umlauts) << any
            << u"S01E02 - %1.mkv"_s.arg(umlauts.left(121));
        QTest::newRow("long film name cut to 255 bytes")
            << none << u"x%1.mkv"_s.arg(umlauts) << any << u"x%1.mkv"_s.arg(umlauts.left(125));
        QTest::newRow("separator at the cut trimmed")
            << "S01E02" << u"S01E02 - %1 - Ende.mkv"_s.arg(letters) << any
            << u"S01E02 - %1.mkv"_s.arg(letters);
    }

    void outputFileName()
    {
        QFETCH(QString, episode);
        QFETCH(QString, localized);
        QFETCH(QString, primary);
        QFETCH(QString, expected);
        EpisodePair pair;
        pair.episodeID = episodeFromText(episode);
        if (localized != u"–")
            pair.localized = fileNamed(localized, SourceKind::localized);
        if (primary != u"–")
            pair.primary = fileNamed(primary, SourceKind::primary);
        QCOMPARE(::outputFileName(pair), expected);
    }

    void sanitizeFileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("con") << "con.mkv"
                             << "_con.mkv";
        QTest::newRow("LPT9") << "LPT9.mkv"
                              << "_LPT9.mkv";
        QTest::newRow("COM10") << "COM10.mkv"
                               << "COM10.mkv";
        QTest::newRow("nul without extension") << "nul"
                                               << "_nul";
        QTest::newRow("trim spaces and periods") << " .name. "
                                                 << "name";
        QTest::newRow("only periods") << "..."
                                      << "_";
        QTest::newRow("empty") << ""
                               << "_";
        QTest::newRow("tab") << "\t"
                             << "_";
        QTest::newRow("all nine forbidden") << "a<>:\"/\\|?*b"
                                            << "a_________b";
        QTest::newRow("private use") << QString(QChar(0xE000)) << "_";
        QTest::newRow("noncharacter FDD0") << QString(QChar(0xFDD0)) << "_";
        QTest::newRow("U+FFFE") << QString(QChar(0xFFFE)) << "_";
        QTest::newRow("U+10FFFF one underscore") << QString::fromUcs4(U"a\U0010FFFFb") << "a_b";
        QTest::newRow("U+007F kept") << QString(QChar(0x7F)) << QString(QChar(0x7F));
        QTest::newRow("emoji kept")
            << QString::fromUcs4(U"\U0001F37F.mkv") << QString::fromUcs4(U"\U0001F37F.mkv");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << "\uFFFD";
        QTest::newRow("umlaut kept") << "Mädchen – Teil 1.mkv"
                                     << "Mädchen – Teil 1.mkv";
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
