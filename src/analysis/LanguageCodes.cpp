// Reading a track's language tag as German, English, other or untagged.
#include "LanguageCodes.h"

QString normalizedLanguageCode(const QString &language)
{
    // QString::toLower follows Unicode, not the user's locale ("GER" never becomes "ger"
    // with a dotless i or the like).
    const QString lower = language.toLower();
    const QStringList pieces = lower.split(u'-', Qt::SkipEmptyParts);
    return pieces.isEmpty() ? lower : pieces.first();
}

const QStringList &germanLanguageCodes()
{
    static const QStringList codes{QStringLiteral("de"), QStringLiteral("deu"),
                                   QStringLiteral("ger")};
    return codes;
}

const QStringList &englishLanguageCodes()
{
    static const QStringList codes{QStringLiteral("en"), QStringLiteral("eng")};
    return codes;
}

LanguageClass classifyLanguage(const MediaTrack &track)
{
    if (!track.language)
        return LanguageClass::untagged;
    const QString code = normalizedLanguageCode(*track.language);
    if (germanLanguageCodes().contains(code))
        return LanguageClass::german;
    if (englishLanguageCodes().contains(code))
        return LanguageClass::english;
    return LanguageClass::other;
}
