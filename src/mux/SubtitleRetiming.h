// Copies of folder 2's subtitles whose lines follow the splices of the German audio.
#pragma once

#include "tools/ChildProcess.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTemporaryDir;

// A line's new start for its start in the file's time; absent when the line is to go. The
// end of a line is mapped as far as its material reaches.
struct SubtitleTimeMap {
    std::function<std::optional<double>(double seconds)> start;
    std::function<double(double seconds)> end;
};

// SubRip text with every line moved by `map`: lines that start in removed material are left
// out, the others keep their text and number.
QString retimedSubRip(const QString &text, const SubtitleTimeMap &map);
// The same for SubStation Alpha and Advanced SubStation events; the header stays as it is.
QString retimedSubStation(const QString &text, const SubtitleTimeMap &map);

// Whether the file name or mkvmerge's codec name says SubRip or SubStation text, or PGS bitmaps.
bool isRetimableSubtitle(const QString &fileNameOrCodec);

// The retimed copies, each in a private folder of the temporary folder under a name of its
// own format; the folders go, copies and all, when this object goes.
class RetimedSubtitles {
public:
    RetimedSubtitles();
    ~RetimedSubtitles();
    RetimedSubtitles(const RetimedSubtitles &) = delete;
    RetimedSubtitles &operator=(const RetimedSubtitles &) = delete;

    // A retimed copy of the subtitle file at `path`, under its own name; absent when it cannot
    // be read or written.
    std::optional<QString> addFile(const QString &path, const SubtitleTimeMap &map);
    // A retimed copy of subtitle track `trackID` of `file`, read with `mkvextract`.
    std::optional<QString> addTrack(const QUrl &file, qint64 trackID, const QString &codec,
                                    const QString &mkvextract, const SubtitleTimeMap &map,
                                    const StopFlag *stop);

private:
    std::optional<QString> write(const QString &name, const QByteArray &source,
                                 const SubtitleTimeMap &map);
    std::optional<QString> save(const QString &name, const QByteArray &bytes);

    std::vector<std::unique_ptr<QTemporaryDir>> m_folders;
};
