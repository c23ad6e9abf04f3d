// One entry of the issue list: severity, text and an id of its own.
#pragma once

#include "MediaEnums.h"

#include <QUuid>

// One entry of the issue list. Every entry draws its own id, so two entries with the same
// text are still different rows.
struct AnalysisIssue {
    AnalysisIssue(AnalysisIssueSeverity severity, QString message)
        : id(QUuid::createUuid()), severity(severity), message(std::move(message))
    {
    }

    QUuid id;
    AnalysisIssueSeverity severity;
    QString message;

    friend bool operator==(const AnalysisIssue &, const AnalysisIssue &) = default;
};
