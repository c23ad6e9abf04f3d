// Language tags read alike by the pair analysis and the mux plan.
#pragma once

#include "media/MediaTrack.h"

#include <QStringList>

// How a track's language tag is read. The pair analysis and the mux plan share this, so a
// track the analysis reports as German is the track the mux takes as German.
enum class LanguageClass { untagged, german, english, other };

// The lower-cased primary subtag: "de-DE" → "de", "GER" → "ger", "pt-br" → "pt".
// Text without any subtag ("", "-") comes back lower-cased as it is.
QString normalizedLanguageCode(const QString &language);

// Normalized codes, compared exactly.
const QStringList &germanLanguageCodes();  // de, deu, ger
const QStringList &englishLanguageCodes(); // en, eng

LanguageClass classifyLanguage(const MediaTrack &track);
