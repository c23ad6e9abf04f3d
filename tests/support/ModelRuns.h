// Driving the application model in tests: a model on two folders, and its runs to their end.
#pragma once

#include "model/AppModel.h"

#include <memory>

// A model on the source folders `primary` (folder 1) and `localized` (folder 2).
std::unique_ptr<AppModel> modelFor(const QString &primary, const QString &localized,
                                   ToolLocations tools = ToolLocations::platformDefault());

// Starts an analysis and waits until it has finished; false when it does not.
bool runAnalysis(AppModel &model);

// Starts a mux run and waits until it has finished; false when it does not.
bool runMux(AppModel &model);
