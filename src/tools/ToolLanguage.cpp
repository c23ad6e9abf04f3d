// The language mkvmerge and mkvextract are told to speak.
#include "ToolLanguage.h"

using namespace Qt::Literals::StringLiterals;

QStringList uiLanguageArguments(const QProcessEnvironment &environment)
{
    QString locale;
    for (const QString &variable : {u"LC_ALL"_s, u"LC_MESSAGES"_s, u"LANG"_s}) {
        locale = environment.value(variable);
        if (!locale.isEmpty())
            break;
    }
    // "de_AT.UTF-8@euro" → "de"; the C and POSIX locales speak English.
    const QString language = locale.section(u'.', 0, 0).section(u'@', 0, 0).section(u'_', 0, 0);
    if (language.isEmpty() || language == u"C" || language == u"POSIX" || language == u"de" ||
        language == u"en")
        return {};
    return {u"--ui-language"_s, u"en_US"_s};
}
