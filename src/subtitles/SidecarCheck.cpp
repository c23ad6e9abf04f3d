// Identifying an external subtitle file: one subtitle track, with text, or not usable.
#include "SidecarCheck.h"

#include "inspect/MKVInspector.h"
#include "inspect/MKVInspectorError.h"
#include "UnmarkedUtf16.h"

#include <QFile>

#include <algorithm>

namespace {

// Nothing but a byte-order mark and white space. mkvmerge takes such a file for a subtitle
// track by its name alone, and the mux would add that track empty.
bool holdsNoText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false; // the tool says why
    for (const char *mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
        if (file.peek(qstrlen(mark)) == mark) {
            file.skip(qstrlen(mark));
            break;
        }
    }
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 16);
        if (chunk.isEmpty())
            return false;
        // Zero bytes are the other half of UTF-16 white space.
        if (!std::all_of(chunk.cbegin(), chunk.cend(),
                         [](char c) { return c == 0 || QByteArrayView(" \t\r\n").contains(c); }))
            return false;
    }
    return true;
}

} // namespace

SidecarVerdict checkSidecar(const MKVInspector &inspector, const QUrl &sidecar)
{
    if (holdsNoText(sidecar.toLocalFile()))
        return SidecarVerdict::unreadable;
    MarkedUtf16Copies copies;
    QUrl identified = sidecar;
    if (const auto order = unmarkedUtf16OrderOfFile(sidecar.toLocalFile())) {
        const std::optional<QString> copy = copies.add(sidecar.toLocalFile(), *order);
        if (!copy)
            return SidecarVerdict::notPrepared;
        identified = QUrl::fromLocalFile(*copy);
    }
    try {
        const QList<MediaTrack> tracks = inspector.inspect(identified).tracks;
        const bool oneSubtitleTrack =
            tracks.size() == 1 && tracks.constFirst().type == TrackType::subtitles;
        return oneSubtitleTrack ? SidecarVerdict::usable : SidecarVerdict::unreadable;
    } catch (const MKVInspectorError &error) {
        // Without a tool every video fails as well; the sidecar is not to blame.
        return error.kind() == MKVInspectorError::Kind::toolNotFound ? SidecarVerdict::unchecked
                                                                     : SidecarVerdict::unreadable;
    } catch (...) {
        return SidecarVerdict::unreadable;
    }
}

QFuture<SidecarVerdict> checkSidecarAsync(MKVInspector &inspector, const QUrl &sidecar)
{
    return inspector.runInTurn<SidecarVerdict>(
        [sidecar](const MKVInspector &self) { return checkSidecar(self, sidecar); });
}
