// Comparing external subtitle text with embedded tracks extracted by mkvextract.
#include "SubtitleDuplicates.h"

#include "UnmarkedUtf16.h"
#include "tools/TemporaryFolder.h"
#include "tools/ToolDiscovery.h"
#include "tools/ToolLanguage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

// UTF-16 without a byte-order mark when its zero bytes say so, UTF-8 when the bytes are valid
// UTF-8, else UTF-16 when they are valid UTF-16 (little-endian unless a byte-order mark says
// otherwise), else UTF-8 with invalid sequences replaced.
QString decodeSubtitleBytes(const QByteArray &bytes)
{
    // Checked first: the zero bytes of such text are valid UTF-8.
    if (const std::optional<Utf16ByteOrder> order = unmarkedUtf16Order(bytes))
        return QStringDecoder(*order == Utf16ByteOrder::littleEndian
                                  ? QStringConverter::Utf16LE
                                  : QStringConverter::Utf16BE)(bytes);
    // Stateless: a sequence cut off at the end is an error, not input still to come.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    // Qt's UTF-16 decoder accepts an odd byte count and lone surrogates; neither is UTF-16.
    if (bytes.size() % 2 == 0) {
        const bool bigEndian = bytes.startsWith("\xFE\xFF");
        QStringDecoder utf16(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE,
                             QStringConverter::Flag::Stateless);
        text = utf16(bytes);
        if (!utf16.hasError() && QStringView(text).isValidUtf16())
            return text;
    }
    return QString::fromUtf8(bytes);
}

// White space at the ends of a line: space separators and the tab, not line breaks.
bool isLineSpace(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

// White space and line breaks at the ends of the whole text: the separator categories,
// U+0009 to U+000D and U+0085.
bool isTextSpace(QChar c)
{
    return c.isSpace();
}

template <typename Predicate> QStringView trimmed(QStringView text, Predicate isSpace)
{
    while (!text.isEmpty() && isSpace(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isSpace(text.back()))
        text.chop(1);
    return text;
}

bool isStopped(const StopFlag *stop)
{
    return stop && stop->load();
}

QString extractionPath(const QTemporaryDir &dir, qint64 trackID)
{
    return dir.filePath(QString::number(trackID) + u".txt"_s);
}

// Runs mkvextract once for `trackIDs`, each written to its extraction path in `dir`.
// Its output is not wanted: only the exit status counts, and 1 (warnings) is a failure here.
bool runMkvextract(const QString &mkvextract, const QUrl &file, const QList<qint64> &trackIDs,
                   const QTemporaryDir &dir, const StopFlag *stop)
{
    QStringList arguments{toolFileArgument(file), u"tracks"_s};
    for (const qint64 id : trackIDs)
        arguments << QString::number(id) + u':' + extractionPath(dir, id);
    return runChild({mkvextract, arguments + uiLanguageArguments(), ChildOutput::separate, stop})
        .succeeded();
}

// The normalised text of a whole file, absent when it cannot be read.
std::optional<QString> readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return normalizeSubtitleText(bytes);
}

std::optional<QString> extractTrack(qint64 trackID, const QString &mkvextract, const QUrl &file,
                                    const StopFlag *stop)
{
    // A private folder per extraction, removed as a whole with everything mkvextract wrote
    // into it: VobSub, for one, becomes NAME.idx and NAME.sub instead of the name it was given.
    const std::optional<QString> folderTemplate = subtitleFolderTemplate();
    if (!folderTemplate)
        return std::nullopt;
    const QTemporaryDir dir(*folderTemplate);
    if (!dir.isValid() || !runMkvextract(mkvextract, file, {trackID}, dir, stop))
        return std::nullopt;
    return readText(extractionPath(dir, trackID));
}

} // namespace

QString normalizeSubtitleText(const QByteArray &bytes)
{
    QString text = decodeSubtitleBytes(bytes);
    text.remove(QChar(0xFEFF));
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');

    const QList<QStringView> lines = QStringView(text).split(u'\n');
    QString joined;
    joined.reserve(text.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            joined += u'\n';
        joined += trimmed(lines[i], isLineSpace);
    }
    // Canonically equivalent texts compare equal; nothing else (case, punctuation) is folded.
    return trimmed(joined, isTextSpace).toString().normalized(QString::NormalizationForm_C);
}

std::optional<QString> extractSubtitleText(const MediaTrack &track, const QUrl &mkvextract,
                                           const QUrl &file, const StopFlag *stop)
{
    return extractTrack(track.id, mkvextract.toLocalFile(), file, stop);
}

QHash<qint64, QString> extractSubtitleTexts(const QList<MediaTrack> &tracks, const QUrl &mkvextract,
                                            const QUrl &file, const StopFlag *stop)
{
    QList<qint64> trackIDs;
    for (const MediaTrack &track : tracks) {
        if (!trackIDs.contains(track.id))
            trackIDs.append(track.id);
    }
    QHash<qint64, QString> texts;
    const QString program = mkvextract.toLocalFile();
    const std::optional<QString> folderTemplate = subtitleFolderTemplate();
    if (trackIDs.isEmpty() || isStopped(stop) || !folderTemplate)
        return texts;

    // One read of a possibly large file serves every track.
    if (trackIDs.size() > 1) {
        const QTemporaryDir dir(*folderTemplate);
        if (dir.isValid() && runMkvextract(program, file, trackIDs, dir, stop)) {
            for (const qint64 id : trackIDs) {
                if (std::optional<QString> text = readText(extractionPath(dir, id)))
                    texts.insert(id, std::move(*text));
            }
            return texts;
        }
    }

    // A run fails as a whole over one track it cannot extract (an id the file lacks, a video
    // track), so each track gets a run of its own: the result is that of separate runs.
    for (const qint64 id : trackIDs) {
        if (isStopped(stop))
            break;
        if (std::optional<QString> text = extractTrack(id, program, file, stop))
            texts.insert(id, std::move(*text));
    }
    return texts;
}

SidecarSelection removeDuplicateSidecars(const QList<QUrl> &sidecars,
                                         const QList<MediaTrack> &tracks, const MediaFile &file,
                                         const QUrl &mkvmerge, const StopFlag *stop)
{
    SidecarSelection selection{sidecars, {}};
    const std::optional<QUrl> mkvextract = ToolDiscovery::locateMkvextractBeside(mkvmerge);
    if (sidecars.isEmpty() || tracks.isEmpty() || !mkvextract)
        return selection;

    QList<std::optional<QString>> sidecarTexts;
    for (const QUrl &sidecar : sidecars)
        sidecarTexts.append(readText(sidecar.toLocalFile()));
    // A sidecar that cannot be read is kept whatever the tracks hold: when none can be read,
    // there is nothing to extract for.
    if (std::none_of(sidecarTexts.cbegin(), sidecarTexts.cend(),
                     [](const std::optional<QString> &text) { return text.has_value(); }))
        return selection;

    const QHash<qint64, QString> extracted =
        extractSubtitleTexts(tracks, *mkvextract, file.url, stop);
    const QSet<QString> embeddedTexts(extracted.cbegin(), extracted.cend());
    selection.kept.clear();
    for (qsizetype i = 0; i < sidecars.size(); ++i) {
        if (sidecarTexts[i] && embeddedTexts.contains(*sidecarTexts[i]))
            selection.duplicateNames.append(fileNameOf(sidecars[i]));
        else
            selection.kept.append(sidecars[i]);
    }
    return selection;
}
