// An issue with its severity tag, as a line of text.
#include "IssueLine.h"

QString issueLine(const AnalysisIssue &issue)
{
    switch (issue.severity) {
    case AnalysisIssueSeverity::information:
        return QStringLiteral("[Hinweis] ") + issue.message;
    case AnalysisIssueSeverity::warning:
        return QStringLiteral("[Warnung] ") + issue.message;
    case AnalysisIssueSeverity::error:
        return QStringLiteral("[Fehler] ") + issue.message;
    }
    Q_UNREACHABLE();
    return {};
}
