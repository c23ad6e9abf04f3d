// An issue as one line of text with its severity tag.
#pragma once

#include "media/AnalysisIssue.h"

// "[Hinweis] …", "[Warnung] …" or "[Fehler] …": an issue as the copied issue list and the
// command line's report show it.
QString issueLine(const AnalysisIssue &issue);
