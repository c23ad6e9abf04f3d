// A pair's planned output as the command line's `plan` prints it.
#pragma once

#include "model/PairPlans.h"

#include <QJsonValue>

// The pair's label and output name, then one line per track: number, type, language, name,
// flags, source, timing and conversion, separated by tabs. A pair the mux would fail says why.
QString planText(const QString &label, const PairPlanOutcome &outcome);

// {"outputFileName", "tracks": [...], "mkvmergeArguments": [...]}, or null for a pair the mux
// would fail.
QJsonValue planJson(const PairPlanOutcome &outcome);
