#include "SidecarCheck.h"

#include "inspect/MKVInspector.h"
#include "inspect/MKVInspectorError.h"
#include "UnmarkedUtf16.h"

SidecarVerdict checkSidecar(const MKVInspector &inspector, const QUrl &sidecar)
{
    MarkedUtf16Copies copies;
    QUrl identified = sidecar;
    if (const auto order = unmarkedUtf16OrderOfFile(sidecar.toLocalFile())) {
        const std::optional<QString> copy = copies.add(sidecar.toLocalFile(), *order);
        if (!copy)
            return SidecarVerdict::unreadable;
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
