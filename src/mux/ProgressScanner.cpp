#include "ProgressScanner.h"

#include <QRegularExpression>

namespace {

// An unfinished line longer than this is searched only once it ends, so that output without
// line breaks cannot make the scan quadratic.
constexpr qsizetype longestOpenLine = 4096;

const QRegularExpression &progressPattern()
{
    // [0-9] rather than \d: digits of other scripts would not convert to a number anyway.
    static const QRegularExpression pattern(
        QStringLiteral(R"((?:Progress|Fortschritt):\s*([0-9]{1,3})%)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

std::optional<int> lastPercentageIn(QByteArrayView bytes)
{
    std::optional<int> last;
    const QString text = QString::fromUtf8(bytes);
    QRegularExpressionMatchIterator matches = progressPattern().globalMatch(text);
    while (matches.hasNext())
        last = matches.next().capturedView(1).toInt();
    return last;
}

} // namespace

std::optional<int> ProgressScanner::take(const QByteArray &chunk)
{
    const qsizetype chunkStart = m_output.size();
    m_output.append(chunk);
    // mkvmerge ends each progress line with a carriage return, other lines with a line feed.
    // Only the new bytes can hold a new line end.
    qsizetype lineEnd = m_output.size();
    while (lineEnd > chunkStart && m_output.at(lineEnd - 1) != '\r' &&
           m_output.at(lineEnd - 1) != '\n')
        --lineEnd;
    if (lineEnd > chunkStart) {
        if (const auto found = lastPercentageIn(
                QByteArrayView(m_output).sliced(m_openLineStart, lineEnd - m_openLineStart)))
            m_lastInEndedLines = found;
        m_openLineStart = lineEnd;
    }

    std::optional<int> current = m_lastInEndedLines;
    const qsizetype openLength = m_output.size() - m_openLineStart;
    if (openLength > 0 && openLength <= longestOpenLine) {
        if (const auto found = lastPercentageIn(QByteArrayView(m_output).sliced(m_openLineStart)))
            current = found;
    }
    if (!current || current == m_lastReported)
        return std::nullopt;
    m_lastReported = current;
    return current;
}
