// Removing what runs that no longer exist left in a folder, without holding up the main thread.
#pragma once

#include "media/AnalysisIssue.h"

#include <QObject>
#include <QString>

#include <functional>

// Removes the marked temporary files and folders of dead runs from `folder` on a pool thread.
// When something was removed, `report` gets one note on `context`'s thread; it is never
// called once `context` is gone. `where` opens the note ("Im Ausgabeordner").
void sweepLeftovers(QObject *context, const QString &folder, const QString &where,
                    std::function<void(AnalysisIssue)> report);
