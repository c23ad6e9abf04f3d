// Bitmap subtitles (PGS) whose display sets follow the splices of the German audio.
#include "PgsRetiming.h"

#include <QtEndian>

#include <cmath>

namespace {

constexpr int headerSize = 13; // "PG", presentation time, decoding time, type, payload size
constexpr double ticksPerSecond = 90000;
constexpr quint8 presentationComposition = 0x16;
constexpr quint8 endOfDisplaySet = 0x80;

struct Segment {
    qsizetype offset = 0; // of its header in the data
    qsizetype size = 0;   // header and payload
    quint8 type = 0;
};

quint32 ticksOf(double seconds)
{
    return quint32(std::max<qint64>(0, std::llround(seconds * ticksPerSecond)) & 0xFFFFFFFF);
}

} // namespace

std::optional<QByteArray> retimedPgs(const QByteArray &data, const SubtitleTimeMap &map)
{
    QByteArray result;
    QList<Segment> displaySet;
    bool showing = false; // the last set kept shows a picture
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    for (qsizetype offset = 0; offset < data.size();) {
        if (data.size() - offset < headerSize || bytes[offset] != 'P' || bytes[offset + 1] != 'G')
            return std::nullopt;
        const Segment segment{offset, headerSize + qFromBigEndian<quint16>(bytes + offset + 11),
                              bytes[offset + 10]};
        if (offset + segment.size > data.size())
            return std::nullopt;
        displaySet << segment;
        offset += segment.size;
        if (segment.type != endOfDisplaySet)
            continue;

        // A set is timed by its presentation time; one whose composition shows no object
        // clears the screen: inside removed material it ends a kept picture where the stretch was.
        const Segment &first = displaySet.first();
        const double start = qFromBigEndian<quint32>(bytes + first.offset + 2) / ticksPerSecond;
        const bool clears = first.type == presentationComposition && first.size > headerSize + 10 &&
                            bytes[first.offset + headerSize + 10] == 0;
        std::optional<double> moved = map.start(start);
        if (!moved && clears && showing)
            moved = map.end(start);
        if (moved) {
            showing = !clears;
            const double shift = *moved - start;
            for (const Segment &part : std::as_const(displaySet)) {
                QByteArray copy = data.mid(part.offset, part.size);
                auto *header = reinterpret_cast<uchar *>(copy.data());
                for (const int field : {2, 6}) {
                    const quint32 ticks = qFromBigEndian<quint32>(header + field);
                    // A decoding time of 0 means none.
                    if (field == 2 || ticks != 0)
                        qToBigEndian(ticksOf(ticks / ticksPerSecond + shift), header + field);
                }
                result += copy;
            }
        }
        displaySet.clear();
    }
    if (!displaySet.isEmpty())
        return std::nullopt;
    return result;
}
