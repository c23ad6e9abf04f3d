// The German texts of the inspection's failures.
#include "MKVInspectorError.h"

QString MKVInspectorError::errorDescription() const
{
    switch (m_kind) {
    case Kind::failed:
        return QStringLiteral("MKV-Analyse fehlgeschlagen: ") + m_message;
    case Kind::toolNotFound:
        return QStringLiteral("mkvmerge wurde nicht gefunden.");
    case Kind::invalidOutput:
        return QStringLiteral("mkvmerge hat keine lesbaren Analysedaten geliefert.");
    }
    Q_UNREACHABLE();
    return {};
}
