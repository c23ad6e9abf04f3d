// Episode numbers read from file names, pair labels, and output file names.
#include "Naming.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTextBoundaryFinder>

namespace {

// \d and \s follow Unicode, as file browsers do: digits of other scripts still form a token,
// which then does not convert to a number (and no later token is tried).
const QRegularExpression &episodePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"((?i)(?:^|[^a-z0-9])s(\d{1,2})[ ._-]*e(\d{1,3})(?:[^a-z0-9]|$))"),
        QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

const QRegularExpression &leadingEpisodePattern()
{
    static const QRegularExpression pattern(QStringLiteral(R"((?i)^\s*s\d{1,2}[ ._-]*e\d{1,3})"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

std::optional<qint64> asciiDecimal(QStringView digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0'); // at most three digits: no overflow
    }
    return value;
}

// White space and line breaks (the tab included, as file browsers trim it too), and the
// punctuation that usually separates an episode token from its title.
bool isTitleSeparator(QChar c)
{
    switch (c.unicode()) {
    case 0x0009:
    case 0x000A:
    case 0x000B:
    case 0x000C:
    case 0x000D:
    case 0x0085:
    case u'.':
    case u'_':
    case u'-':
    case 0x2013:
    case 0x2014:
        return true;
    default:
        return c.category() == QChar::Separator_Space || c.category() == QChar::Separator_Line ||
               c.category() == QChar::Separator_Paragraph;
    }
}

QString trimmedTitle(QStringView title)
{
    qsizetype begin = 0;
    qsizetype end = title.size();
    while (begin < end && isTitleSeparator(title[begin]))
        ++begin;
    while (end > begin && isTitleSeparator(title[end - 1]))
        --end;
    return title.mid(begin, end - begin).toString();
}

bool isForbiddenScalar(char32_t scalar)
{
    switch (scalar) {
    case U'<':
    case U'>':
    case U':':
    case U'"':
    case U'/':
    case U'\\':
    case U'|':
    case U'?':
    case U'*':
        return true;
    default:
        return scalar < 0x20 || (scalar >= 0xE000 && scalar <= 0xF8FF) ||
               (scalar >= 0xFDD0 && scalar <= 0xFDEF) || (scalar & 0xFFFE) == 0xFFFE;
    }
}

bool isReservedFileName(const QString &stem)
{
    static const QStringList reserved = [] {
        QStringList names{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                          QStringLiteral("NUL")};
        for (int digit = 1; digit <= 9; ++digit)
            names << QStringLiteral("COM%1").arg(digit);
        for (int digit = 1; digit <= 9; ++digit)
            names << QStringLiteral("LPT%1").arg(digit);
        return names;
    }();
    return reserved.contains(stem.toUpper());
}

// Common file systems take at most 255 bytes per name.
constexpr qsizetype longestFileNameBytes = 255;

// Shortens the stem of `name` (a name ending in ".mkv") at a character boundary until the
// whole name fits, so that a long title still gives a name the output folder accepts.
QString fittedFileName(const QString &name)
{
    if (name.toUtf8().size() <= longestFileNameBytes)
        return name;
    const QString extension = QStringLiteral(".mkv");
    QString stem = name.chopped(extension.size());
    qsizetype stemBytes = stem.toUtf8().size();
    const qsizetype allowedBytes = longestFileNameBytes - extension.size();
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, stem);
    characters.toEnd();
    while (stemBytes > allowedBytes) {
        const qsizetype end = characters.position();
        const qsizetype start = characters.toPreviousBoundary();
        stemBytes -= QStringView(stem).sliced(start, end - start).toUtf8().size();
    }
    qsizetype end = characters.position();
    // A cut may leave a trailing separator; the name then ends as cleanly as an uncut one.
    while (end > 0 && isTitleSeparator(stem.at(end - 1)))
        --end;
    stem.truncate(end);
    return sanitizeFileName(stem + extension);
}

} // namespace

std::optional<EpisodeID> parseEpisodeID(const QString &name)
{
    const QRegularExpressionMatch match = episodePattern().match(name);
    if (!match.hasMatch())
        return std::nullopt;
    const std::optional<qint64> season = asciiDecimal(match.capturedView(1));
    const std::optional<qint64> episode = asciiDecimal(match.capturedView(2));
    if (!season || !episode)
        return std::nullopt;
    return EpisodeID{*season, *episode};
}

QString episodeLabel(const EpisodePair &pair)
{
    return pair.episodeID ? pair.episodeID->description() : QStringLiteral("Einzeldatei");
}

QString outputFileName(const EpisodePair &pair)
{
    const std::optional<MediaFile> &source = pair.localized ? pair.localized : pair.primary;
    if (!source)
        return QStringLiteral("Unbekannt.mkv");

    const QString baseName = nameWithoutExtension(fileNameOf(source->url));
    if (!pair.episodeID)
        return fittedFileName(sanitizeFileName(baseName + QStringLiteral(".mkv")));

    const QRegularExpressionMatch leading = leadingEpisodePattern().match(baseName);
    const QString title = leading.hasMatch()
                              ? trimmedTitle(QStringView(baseName).mid(leading.capturedEnd()))
                              : baseName;
    const QString prefix = pair.episodeID->description();
    const QString name = title.isEmpty()
                             ? prefix + QStringLiteral(".mkv")
                             : prefix + QStringLiteral(" - ") + title + QStringLiteral(".mkv");
    return fittedFileName(sanitizeFileName(name));
}

QString sanitizeFileName(const QString &name)
{
    QString result;
    result.reserve(name.size());
    // toUcs4 turns a lone surrogate (no scalar value at all) into U+FFFD.
    for (const char32_t scalar : name.toUcs4()) {
        if (isForbiddenScalar(scalar))
            result += u'_';
        else
            result += QString::fromUcs4(&scalar, 1);
    }

    qsizetype begin = 0;
    qsizetype end = result.size();
    const auto trimmable = [](QChar c) { return c == u' ' || c == u'.'; };
    while (begin < end && trimmable(result[begin]))
        ++begin;
    while (end > begin && trimmable(result[end - 1]))
        --end;
    result = result.mid(begin, end - begin);

    if (result.isEmpty())
        return QStringLiteral("_");
    if (isReservedFileName(nameWithoutExtension(result)))
        result.prepend(u'_');
    return result;
}
