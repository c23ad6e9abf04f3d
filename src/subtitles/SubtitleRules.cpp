// Language words in subtitle names, forced markers, and bitmap tracks replaced by text.
#include "SubtitleRules.h"

#include "media/MediaFile.h"

#include <QRegularExpression>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

// A language word stands alone: at the start of the name or after white space, a period, an
// underscore or a hyphen, and before the end or one of those. "Englisch" or "Germany" do not
// count. Unicode properties make \s any white space, not only ASCII.
constexpr QRegularExpression::PatternOptions namePatternOptions =
    QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption;

const QRegularExpression &englishNamePattern()
{
    static const QRegularExpression pattern(u"(?:^|[\\s._-])(en|eng|english)(?:$|[\\s._-])"_s,
                                            namePatternOptions);
    return pattern;
}

const QRegularExpression &germanNamePattern()
{
    static const QRegularExpression pattern(
        u"(?:^|[\\s._-])(de|deu|ger|german|deutsch)(?:$|[\\s._-])"_s, namePatternOptions);
    return pattern;
}

bool isTextSubtitleFile(const QString &name)
{
    static const QStringList extensions{u"srt"_s, u"ass"_s, u"ssa"_s, u"vtt"_s};
    return extensions.contains(pathExtension(name).toLower());
}

bool isBitmapCodec(const QString &codec)
{
    const QString lowered = codec.toLower();
    return lowered.contains(u"vobsub") || lowered.contains(u"pgs") || lowered.contains(u"dvd");
}

// A text file that is not itself forced replaces the full bitmap track.
bool hasFullTextSidecar(const QList<QUrl> &candidates)
{
    return std::any_of(candidates.begin(), candidates.end(), [](const QUrl &candidate) {
        const QString name = fileNameOf(candidate);
        return isTextSubtitleFile(name) && !isForcedFileName(name);
    });
}

} // namespace

std::optional<QString> sidecarLanguage(const QUrl &sidecar)
{
    // The last extension is the format ("srt"), never a language.
    const QString name = nameWithoutExtension(fileNameOf(sidecar));
    if (englishNamePattern().match(name).hasMatch())
        return u"eng"_s;
    if (germanNamePattern().match(name).hasMatch())
        return u"deu"_s;
    return std::nullopt;
}

bool containsForcedMarker(const QString &text)
{
    return text.contains(u"forced", Qt::CaseInsensitive) ||
           text.contains(u"erzwungen", Qt::CaseInsensitive);
}

bool isForcedFileName(const QString &name)
{
    return containsForcedMarker(name);
}

bool isForcedSubtitle(const MediaTrack &track, const QList<MediaTrack> &list)
{
    if (track.forcedTrack || (track.name && containsForcedMarker(*track.name)))
        return true;
    if (list.size() < 2 || !track.elementCount)
        return false;

    // Few entries next to a full track: the forced track of a release that does not flag it.
    const qint64 count = *track.elementCount;
    qint64 largest = count;
    for (const MediaTrack &other : list) {
        if (other.elementCount)
            largest = std::max(largest, *other.elementCount);
    }
    if (largest < 1 || count > 50)
        return false;
    return static_cast<double>(count) / static_cast<double>(largest) <= 0.35;
}

QList<MediaTrack> selectReplacedBitmapSubtitles(const QList<MediaTrack> &germanSubtitles,
                                                const QList<QUrl> &candidates)
{
    if (!hasFullTextSidecar(candidates))
        return {};
    QList<MediaTrack> replaced;
    for (const MediaTrack &track : germanSubtitles) {
        if (isBitmapCodec(track.codec) && !isForcedSubtitle(track, germanSubtitles))
            replaced.append(track);
    }
    return replaced;
}
