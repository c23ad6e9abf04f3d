// The icons of the pair table and the issue list, each drawn in one colour.
#pragma once

#include "media/MediaEnums.h"

#include <QColor>
#include <QIcon>

// The symbolic icon of the desktop's icon theme where it has one, else the one bundled with the
// program. The shape and colour of each icon say the same as its text.

QIcon statusIcon(PairStatus status);
QColor statusColor(PairStatus status);

QIcon severityIcon(AnalysisIssueSeverity severity);
QColor severityColor(AnalysisIssueSeverity severity);

// `source` drawn in `color` alone, at every size and scale it is asked for.
QIcon tintedIcon(const QIcon &source, const QColor &color);
