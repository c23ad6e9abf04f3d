// The issue-list entries of a muxed pair, and the status text of a running mux.
#include "MuxMessages.h"

#include <cmath>

QList<AnalysisIssue> muxResultIssues(const QString &label, const MuxResult &result)
{
    QList<AnalysisIssue> issues;
    const auto information = [&](const QString &text) {
        issues << AnalysisIssue(AnalysisIssueSeverity::information, label + text);
    };
    for (const QString &name : result.skippedDuplicateSubtitles)
        information(QStringLiteral(": Identischer externer Untertitel übersprungen: ") + name);
    for (const QString &name : result.skippedWrongFolderSubtitles)
        information(QStringLiteral(": Untertitel wegen widersprüchlicher Sprachkennung im "
                                   "Quellordner übersprungen: ") +
                    name);
    for (const qint64 track : result.replacedBitmapSubtitleTrackIDs)
        information(QStringLiteral(": Eingebettete Bild-Untertitel-Vollspur %1 durch die externe "
                                   "Text-Untertitelspur ersetzt.")
                        .arg(track));
    if (result.appliedTimingFactor)
        information(QStringLiteral(": PAL-Speedup der deutschen Audio- und Untertitelspuren "
                                   "automatisch korrigiert (Faktor %1).")
                        .arg(*result.appliedTimingFactor, 0, 'f', 6));
    if (!result.restoredAudioEncodings.isEmpty())
        information(QStringLiteral(": Deutsche Tonspur auf Filmgeschwindigkeit und "
                                   "Originaltonhöhe gebracht (%1).")
                        .arg(result.restoredAudioEncodings.join(QStringLiteral("; "))));
    if (result.appliedSyncOffset)
        information(QStringLiteral(": Tonversatz von %1 Sekunden ausgeglichen.")
                        .arg(std::abs(*result.appliedSyncOffset), 0, 'f', 2));
    for (const QString &line : result.warnings)
        issues << AnalysisIssue(AnalysisIssueSeverity::warning,
                                label + QStringLiteral(": mkvmerge meldet: ") + line);
    information(QStringLiteral(": Erstellt: ") + fileNameOf(result.outputURL));
    return issues;
}

QString muxStatusText(const QStringList &runningLabels, qsizetype started, qsizetype count)
{
    return QStringLiteral("%1 (%2 von %3)")
        .arg(runningLabels.join(QStringLiteral(", ")))
        .arg(started)
        .arg(count);
}
