// Telling unmarked UTF-16 subtitles by their zero bytes, and their copies with a mark.
#include "UnmarkedUtf16.h"

#include "tools/TemporaryFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

// Enough code units for a few cues; the time lines alone are plain digits.
constexpr qsizetype sampleSize = 4096;

bool isMarked(QByteArrayView bytes)
{
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

QByteArray byteOrderMark(Utf16ByteOrder order)
{
    return order == Utf16ByteOrder::littleEndian ? "\xFF\xFE"_ba : "\xFE\xFF"_ba;
}

bool copyWithMark(const QString &source, const QString &target, Utf16ByteOrder order)
{
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(byteOrderMark(order)) != 2)
        return false;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 16);
        if (chunk.isEmpty() || out.write(chunk) != chunk.size())
            return false;
    }
    return in.error() == QFileDevice::NoError && out.flush();
}

} // namespace

std::optional<Utf16ByteOrder> unmarkedUtf16Order(QByteArrayView bytes)
{
    if (isMarked(bytes))
        return std::nullopt;
    const QByteArrayView sample = bytes.first(std::min(bytes.size(), sampleSize) & ~qsizetype(1));
    const qsizetype units = sample.size() / 2;
    qsizetype zeroFirst = 0, zeroSecond = 0;
    for (qsizetype i = 0; i < sample.size(); i += 2) {
        const bool first = sample[i] == 0, second = sample[i + 1] == 0;
        if (first && second)
            return std::nullopt; // U+0000 is no text
        zeroFirst += first;
        zeroSecond += second;
    }
    // Subtitle text is mostly digits, time codes and Latin letters; a few characters such as
    // U+4E00 put their zero on the other side.
    const auto dominates = [units](qsizetype side, qsizetype other) {
        return units > 0 && side * 4 >= units && other * 16 <= units;
    };
    if (dominates(zeroSecond, zeroFirst))
        return Utf16ByteOrder::littleEndian;
    if (dominates(zeroFirst, zeroSecond))
        return Utf16ByteOrder::bigEndian;
    return std::nullopt;
}

std::optional<Utf16ByteOrder> unmarkedUtf16OrderOfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return unmarkedUtf16Order(file.read(sampleSize));
}

QString utf16CharsetName(Utf16ByteOrder order)
{
    return order == Utf16ByteOrder::littleEndian ? u"UTF-16LE"_s : u"UTF-16BE"_s;
}

QString markedCopyFailure()
{
    const QString &problem = temporaryFolder().problem;
    return problem.isEmpty()
               ? u"Die Untertiteldatei konnte im temporären Ordner nicht vorbereitet werden."_s
               : problem;
}

MarkedUtf16Copies::MarkedUtf16Copies() = default;
MarkedUtf16Copies::~MarkedUtf16Copies() = default;

std::optional<QString> MarkedUtf16Copies::add(const QString &path, Utf16ByteOrder order)
{
    auto folder = newSubtitleFolder();
    if (!folder)
        return std::nullopt;
    const QString copy = folder->filePath(QFileInfo(path).fileName());
    if (!copyWithMark(path, copy, order))
        return std::nullopt; // the folder goes with what was written
    m_folders.push_back(std::move(folder));
    return copy;
}
