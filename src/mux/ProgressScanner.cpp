// Scanning mkvmerge's output chunk by chunk for its progress percentage.
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
    const qsizetype chunkStart = m_openLine.size();
    m_openLine.append(chunk);
    // mkvmerge ends each progress line with a carriage return, other lines with a line feed.
    // Only the new bytes can hold a new line end.
    qsizetype lineEnd = m_openLine.size();
    while (lineEnd > chunkStart && m_openLine.at(lineEnd - 1) != '\r' &&
           m_openLine.at(lineEnd - 1) != '\n')
        --lineEnd;
    if (lineEnd > chunkStart) {
        if (const auto found = lastPercentageIn(QByteArrayView(m_openLine).first(lineEnd)))
            m_lastInEndedLines = found;
        m_openLine.remove(0, lineEnd);
    }

    std::optional<int> current = m_lastInEndedLines;
    if (!m_openLine.isEmpty() && m_openLine.size() <= longestOpenLine) {
        if (const auto found = lastPercentageIn(m_openLine))
            current = found;
    }
    if (!current || current == m_lastReported)
        return std::nullopt;
    m_lastReported = current;
    return current;
}
