// The command line's progress line on standard error.
#pragma once

#include <QString>

#include <cstdio>

// The progress line on standard error. On a terminal it is one line that is rewritten in
// place; otherwise a line is written only when the status text changes, so that a log file
// gets one line per step.
class ProgressDisplay {
public:
    explicit ProgressDisplay(FILE *stream = stderr);

    // On a terminal `line` replaces the line shown; elsewhere it is written when `step`
    // differs from the step of the line before.
    void show(const QString &line, const QString &step);
    // Ends the line that is being rewritten, if any.
    void finish();

private:
    FILE *m_stream;
    bool m_isTerminal;
    QString m_lastStep;
    bool m_lineOpen = false;
};
