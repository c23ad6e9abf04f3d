// The issue-list entries of a muxed pair, and the status text of a running mux.
#include "MuxMessages.h"

#include <cmath>

namespace {

// Two decimals with a point; a value that rounds to zero never reads "-0.00".
QString signedSeconds(double value)
{
    const double rounded = std::round(value * 100) / 100;
    return QString::number(rounded == 0 ? 0.0 : rounded, 'f', 2);
}

// Film time as the sync check writes it: "17:00 min".
QString filmTime(double seconds)
{
    const long long whole = std::llround(std::max(0.0, seconds));
    return QStringLiteral("%1:%2 min").arg(whole / 60).arg(whole % 60, 2, 10, QChar(u'0'));
}

} // namespace

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
        information((result.restoredPitchKept
                         ? QStringLiteral(": Deutsche Tonspur auf Filmgeschwindigkeit gebracht, "
                                          "Tonhöhe beibehalten (%1).")
                         : QStringLiteral(": Deutsche Tonspur auf Filmgeschwindigkeit und "
                                          "Originaltonhöhe gebracht (%1)."))
                        .arg(result.restoredAudioEncodings.join(QStringLiteral("; "))));
    if (result.appliedSyncOffset)
        information(QStringLiteral(": Tonversatz von %1 Sekunden ausgeglichen.")
                        .arg(std::abs(*result.appliedSyncOffset), 0, 'f', 2));
    if (result.appliedDrift)
        information(QStringLiteral(": Gleichmäßigen Tonversatz von %1 auf %2 Sekunden ausgeglichen.")
                        .arg(signedSeconds(result.appliedDrift->fromSeconds),
                             signedSeconds(result.appliedDrift->toSeconds)));
    for (const Splice &splice : result.repairedSplices)
        information(QStringLiteral(": Schnitt bei %1 ausgeglichen: %2 Sekunden %3.")
                        .arg(filmTime(splice.englishSeconds))
                        .arg(std::abs(splice.extraSeconds), 0, 'f', 2)
                        .arg(splice.extraSeconds > 0 ? QStringLiteral("der deutschen Fassung entfernt")
                                                     : QStringLiteral("Stille eingefügt")));
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
