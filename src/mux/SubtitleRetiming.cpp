// Copies of folder 2's subtitles whose lines follow the splices of the German audio.
#include "SubtitleRetiming.h"

#include "PgsRetiming.h"

#include "subtitles/UnmarkedUtf16.h"
#include "tools/TemporaryFolder.h"
#include "tools/ToolLanguage.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// Hundredths or thousandths of a second as whole units, rounded, never below zero.
qint64 units(double seconds, int perSecond)
{
    return std::max<qint64>(0, std::llround(seconds * perSecond));
}

QString subRipTime(double seconds)
{
    const qint64 ms = units(seconds, 1000);
    return u"%1:%2:%3,%4"_s.arg(ms / 3600000, 2, 10, QChar(u'0'))
        .arg(ms / 60000 % 60, 2, 10, QChar(u'0'))
        .arg(ms / 1000 % 60, 2, 10, QChar(u'0'))
        .arg(ms % 1000, 3, 10, QChar(u'0'));
}

QString subStationTime(double seconds)
{
    const qint64 cs = units(seconds, 100);
    return u"%1:%2:%3.%4"_s.arg(cs / 360000)
        .arg(cs / 6000 % 60, 2, 10, QChar(u'0'))
        .arg(cs / 100 % 60, 2, 10, QChar(u'0'))
        .arg(cs % 100, 2, 10, QChar(u'0'));
}

// "h:mm:ss" followed by a fraction of `digits` digits after "," or "." (SubRip allows both).
double secondsOf(const QRegularExpressionMatch &match, int first)
{
    const QString fraction = match.captured(first + 3);
    return match.captured(first).toDouble() * 3600 + match.captured(first + 1).toDouble() * 60 +
           match.captured(first + 2).toDouble() +
           fraction.toDouble() / std::pow(10.0, double(fraction.size()));
}

// Where the line's start and end go; absent when it goes.
std::optional<std::pair<double, double>> moved(double start, double end, const SubtitleTimeMap &map)
{
    const std::optional<double> newStart = map.start(start);
    if (!newStart)
        return std::nullopt;
    return std::pair{*newStart, std::max(*newStart, map.end(end))};
}

} // namespace

QString retimedSubRip(const QString &text, const SubtitleTimeMap &map)
{
    static const QRegularExpression timing(
        u"^\\s*(\\d+):(\\d+):(\\d+)[,.](\\d+)\\s*-->\\s*(\\d+):(\\d+):(\\d+)[,.](\\d+)(.*)$"_s);
    // Blocks end at an empty line; a block's timing line is the first that reads as one.
    QString normalized = text;
    normalized.replace(u"\r\n"_s, u"\n"_s);
    const QStringList lines = normalized.split(u'\n');
    QStringList kept, block;
    const auto endBlock = [&] {
        bool keep = true;
        for (QString &line : block) {
            const QRegularExpressionMatch match = timing.match(line);
            if (!match.hasMatch())
                continue;
            const auto times = moved(secondsOf(match, 1), secondsOf(match, 5), map);
            if (times)
                line = subRipTime(times->first) + u" --> "_s + subRipTime(times->second) +
                       match.captured(9);
            keep = times.has_value();
            break;
        }
        if (keep)
            kept << block;
        block.clear();
    };
    for (const QString &line : lines) {
        block << line;
        if (line.trimmed().isEmpty())
            endBlock();
    }
    endBlock();
    return kept.join(u'\n');
}

QString retimedSubStation(const QString &text, const SubtitleTimeMap &map)
{
    static const QRegularExpression event(
        u"^((?:Dialogue|Comment):\\s*[^,]*,)(\\d+):(\\d+):(\\d+)\\.(\\d+),(\\d+):(\\d+):(\\d+)\\.("
        u"\\d+),(.*)$"_s);
    QString normalized = text;
    normalized.replace(u"\r\n"_s, u"\n"_s);
    QStringList kept;
    for (const QString &line : normalized.split(u'\n')) {
        const QRegularExpressionMatch match = event.match(line);
        if (!match.hasMatch()) {
            kept << line;
            continue;
        }
        if (const auto times = moved(secondsOf(match, 2), secondsOf(match, 6), map))
            kept << match.captured(1) + subStationTime(times->first) + u',' +
                        subStationTime(times->second) + u',' + match.captured(10);
    }
    return kept.join(u'\n');
}

namespace {

bool isPgs(const QString &fileNameOrCodec)
{
    const QString name = fileNameOrCodec.toLower();
    return name.endsWith(u".sup"_s) || name.startsWith(u"hdmv pgs"_s);
}

} // namespace

bool isRetimableSubtitle(const QString &fileNameOrCodec)
{
    const QString name = fileNameOrCodec.toLower();
    return name.endsWith(u".srt"_s) || name.endsWith(u".ass"_s) || name.endsWith(u".ssa"_s) ||
           name.startsWith(u"subrip"_s) || name.startsWith(u"substationalpha"_s) ||
           isPgs(fileNameOrCodec);
}

RetimedSubtitles::RetimedSubtitles() = default;
RetimedSubtitles::~RetimedSubtitles() = default;

std::optional<QString> RetimedSubtitles::addFile(const QString &path, const SubtitleTimeMap &map)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return write(QFileInfo(path).fileName(), file.readAll(), map);
}

std::optional<QString> RetimedSubtitles::addTrack(const QUrl &file, qint64 trackID,
                                                  const QString &codec, const QString &mkvextract,
                                                  const SubtitleTimeMap &map, const StopFlag *stop)
{
    const std::optional<QString> folderTemplate = subtitleFolderTemplate();
    if (!folderTemplate)
        return std::nullopt;
    const QTemporaryDir dir(*folderTemplate);
    const QString suffix = isPgs(codec)                              ? u".sup"_s
                           : codec.toLower().startsWith(u"subrip"_s) ? u".srt"_s
                                                                     : u".ass"_s;
    const QString extracted = dir.filePath(u"track"_s + QString::number(trackID) + suffix);
    if (!dir.isValid() || !runChild({mkvextract,
                                     QStringList{toolFileArgument(file), u"tracks"_s,
                                                 QString::number(trackID) + u':' + extracted} +
                                         uiLanguageArguments(),
                                     ChildOutput::separate, stop})
                               .succeeded())
        return std::nullopt;
    QFile text(extracted);
    if (!text.open(QIODevice::ReadOnly))
        return std::nullopt;
    return write(QFileInfo(extracted).fileName(), text.readAll(), map);
}

std::optional<QString> RetimedSubtitles::write(const QString &name, const QByteArray &source,
                                               const SubtitleTimeMap &map)
{
    if (isPgs(name)) {
        const std::optional<QByteArray> pgs = retimedPgs(source, map);
        return pgs ? save(name, *pgs) : std::nullopt;
    }
    // The times are ASCII: text in any single-byte-based encoding is rewritten byte for byte
    // and keeps its encoding; UTF-16 is written as UTF-8 with a mark.
    const bool markedUtf16 = source.startsWith("\xFF\xFE") || source.startsWith("\xFE\xFF");
    const std::optional<Utf16ByteOrder> unmarked = unmarkedUtf16Order(source);
    QString text;
    if (markedUtf16 || unmarked) {
        QStringDecoder decoder(markedUtf16 ? QStringConverter::Utf16
                               : *unmarked == Utf16ByteOrder::littleEndian
                                   ? QStringConverter::Utf16LE
                                   : QStringConverter::Utf16BE);
        text = decoder.decode(source);
        text.remove(QChar(0xFEFF));
    } else {
        text = QString::fromLatin1(source);
    }
    const bool subRip = name.toLower().endsWith(u".srt"_s);
    const QString retimed = subRip ? retimedSubRip(text, map) : retimedSubStation(text, map);
    return save(name,
                markedUtf16 || unmarked ? "\xEF\xBB\xBF" + retimed.toUtf8() : retimed.toLatin1());
}

std::optional<QString> RetimedSubtitles::save(const QString &name, const QByteArray &bytes)
{
    auto folder = newSubtitleFolder();
    if (!folder)
        return std::nullopt;
    const QString path = folder->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return std::nullopt;
    m_folders.push_back(std::move(folder));
    return path;
}
