// External subtitle files whose text equals an embedded subtitle track of the same file.
#pragma once

#include "media/MediaFile.h"
#include "media/MediaTrack.h"
#include "tools/ChildProcess.h"

#include <QHash>
#include <QStringList>

#include <optional>

struct SidecarSelection {
    QList<QUrl> kept;           // in their order
    QStringList duplicateNames; // file names of the left-out sidecars, in their order
};

// Leaves out the sidecars whose normalised text equals that of one of `tracks` of `file`,
// read with the mkvextract beside `mkvmerge`. Anything that fails keeps the sidecar.
// `stop` set while it runs kills the running mkvextract; the rest then counts as unreadable.
SidecarSelection removeDuplicateSidecars(const QList<QUrl> &sidecars,
                                         const QList<MediaTrack> &tracks, const MediaFile &file,
                                         const QUrl &mkvmerge, const StopFlag *stop = nullptr);

// The normalised texts of `tracks` of `file`, by track id: one mkvextract run for all of
// them, or one run per track where that fails. A track whose text cannot be read is absent.
QHash<qint64, QString> extractSubtitleTexts(const QList<MediaTrack> &tracks, const QUrl &mkvextract,
                                            const QUrl &file, const StopFlag *stop = nullptr);

// The normalised text of one track, read with its own mkvextract run; absent on any failure.
std::optional<QString> extractSubtitleText(const MediaTrack &track, const QUrl &mkvextract,
                                           const QUrl &file, const StopFlag *stop = nullptr);

// Subtitle file contents as comparable text: decoded (UTF-8, else UTF-16), byte-order marks
// removed, line ends unified, each line and the whole text trimmed, canonically composed.
QString normalizeSubtitleText(const QByteArray &bytes);
