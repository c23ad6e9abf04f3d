// Subtitle text in UTF-16 without a byte-order mark.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QTemporaryDir;

// mkvmerge knows UTF-16 text only by its mark: without one it cannot tell the file's type,
// neither when identifying nor when muxing, and "--sub-charset" does not help it there. Such a
// file reaches it as a copy with the mark.

enum class Utf16ByteOrder { littleEndian, bigEndian };

// The byte order of unmarked UTF-16 text, told by its zero bytes: every character below U+0100
// has one, on the same side. Absent for anything else, marked UTF-16 and UTF-8 included.
std::optional<Utf16ByteOrder> unmarkedUtf16Order(QByteArrayView bytes);

// The same for the beginning of the file at `path`; absent when it cannot be read.
std::optional<Utf16ByteOrder> unmarkedUtf16OrderOfFile(const QString &path);

// mkvmerge's name of the encoding, for "--sub-charset": "UTF-16LE" or "UTF-16BE".
QString utf16CharsetName(Utf16ByteOrder order);

// Why no marked copy could be written, in German: the temporary folder's problem when it has
// one, else that the copy could not be made there (a full disk, say).
QString markedCopyFailure();

// Copies with the byte-order mark in front, each in a private folder of the temporary
// directory under the original file name, so that tool messages still name the user's file.
// The folders go, copies and all, when this object goes.
class MarkedUtf16Copies {
public:
    MarkedUtf16Copies();
    ~MarkedUtf16Copies();
    MarkedUtf16Copies(const MarkedUtf16Copies &) = delete;
    MarkedUtf16Copies &operator=(const MarkedUtf16Copies &) = delete;

    // The path of a marked copy of the file at `path`; absent when it could not be written.
    std::optional<QString> add(const QString &path, Utf16ByteOrder order);

private:
    std::vector<std::unique_ptr<QTemporaryDir>> m_folders;
};
