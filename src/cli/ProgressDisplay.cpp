// Writing the progress line: in place on a terminal, once per step elsewhere.
#include "ProgressDisplay.h"

#include <unistd.h>

ProgressDisplay::ProgressDisplay(FILE *stream)
    : m_stream(stream), m_isTerminal(::isatty(::fileno(stream)) == 1)
{
}

void ProgressDisplay::show(const QString &line, const QString &step)
{
    if (m_isTerminal) {
        // Back to the line start, the text, then clear what a longer text left behind.
        std::fputs(("\r" + line.toUtf8() + "\x1b[K").constData(), m_stream);
        std::fflush(m_stream);
        m_lineOpen = true;
    } else if (step != m_lastStep) {
        std::fputs((line.toUtf8() + '\n').constData(), m_stream);
        std::fflush(m_stream);
    }
    m_lastStep = step;
}

void ProgressDisplay::finish()
{
    if (m_lineOpen) {
        std::fputs("\n", m_stream);
        std::fflush(m_stream);
        m_lineOpen = false;
    }
}
