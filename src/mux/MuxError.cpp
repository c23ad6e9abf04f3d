// The German texts of the failures of one pair's mux.
#include "MuxError.h"

QString MuxError::errorDescription() const
{
    switch (m_kind) {
    case Kind::outputExists:
        return QStringLiteral("Die Ausgabedatei existiert bereits: ") + m_detail;
    case Kind::failed:
        return QStringLiteral("Muxen fehlgeschlagen: ") + m_detail;
    case Kind::mkvmergeNotFound:
        return QStringLiteral("Eine aktuelle, kompatible MKVToolNix-Version wurde nicht gefunden.");
    case Kind::incompletePair:
        return QStringLiteral("Das Dateipaar ist unvollständig.");
    case Kind::inspectionMissing:
        return QStringLiteral("Die Trackanalyse fehlt. Bitte die Dateien erneut analysieren.");
    case Kind::cancelled:
        return QStringLiteral("Die Verarbeitung wurde abgebrochen.");
    case Kind::sourceChanged:
        return m_detail +
               QStringLiteral(
                   ": Die Datei wurde seit der Analyse verändert. Bitte erneut analysieren.");
    case Kind::conversionFailed:
        return QStringLiteral("Die deutsche Tonspur ließ sich nicht umrechnen: ") + m_detail;
    }
    Q_UNREACHABLE();
    return {};
}
