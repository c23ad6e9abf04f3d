// mkvmerge's progress, read from its output as it arrives.
#pragma once

#include <QByteArray>

#include <optional>

// Follows mkvmerge's output as it arrives and finds its progress lines ("Progress: 42%",
// "Fortschritt: 42%"). Each byte is searched once: ended lines are searched as they end, and
// only the unfinished last line is searched again with the next chunk.
class ProgressScanner {
public:
    // Takes the next chunk; returns the percentage of the last progress line so far when it
    // differs from the one returned before.
    std::optional<int> take(const QByteArray &chunk);

private:
    QByteArray m_openLine; // the bytes after the last line end
    std::optional<int> m_lastInEndedLines;
    std::optional<int> m_lastReported;
};
