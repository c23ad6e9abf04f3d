// Picking mkvmerge's warnings out of its output.
#include "MkvmergeWarnings.h"

#include <QRegularExpression>

QStringList mkvmergeWarnings(const QString &output)
{
    static const QRegularExpression lineBreak(QStringLiteral("[\r\n]"));
    QStringList warnings;
    for (const QString &line : output.split(lineBreak, Qt::SkipEmptyParts)) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(u"Warning:") || trimmed.startsWith(u"Warnung:"))
            warnings << trimmed;
    }
    return warnings;
}

bool reportsMissingTrack(const QString &warning)
{
    static const QRegularExpression missingTrack(
        QStringLiteral("A track with the ID \\d+ was requested but not found|"
                       "Eine Spur mit der ID \\d+ wurde angegeben, aber in der Quelldatei nicht "
                       "gefunden"));
    return missingTrack.match(warning).hasMatch();
}
