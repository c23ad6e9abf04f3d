// A pair's mux plan told track by track, read from the mkvmerge arguments the plan wrote.
#include "PlanDescription.h"

#include "media/Naming.h"
#include "tools/ChildProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>

using namespace Qt::Literals::StringLiterals;

namespace {

// The mkvmerge options that take a value; any other argument not beginning with "--" is an
// input file.
const QSet<QString> &valueOptions()
{
    static const QSet<QString> options{
        u"--output"_s,         u"--title"_s,          u"--video-tracks"_s,
        u"--audio-tracks"_s,   u"--subtitle-tracks"_s, u"--language"_s,
        u"--track-name"_s,     u"--default-track-flag"_s, u"--forced-display-flag"_s,
        u"--sync"_s,           u"--sub-charset"_s,    u"--track-order"_s,
        u"--append-to"_s,      u"--split"_s,          u"--chapters"_s,
        u"--timestamps"_s,     u"--default-duration"_s, u"--attachments"_s};
    return options;
}

// What the arguments say of one track of one input.
struct TrackOptions {
    std::optional<QString> language;
    std::optional<QString> name;
    std::optional<bool> isDefault;
    std::optional<bool> isForced;
    PlannedTiming timing;
};

struct Input {
    QString path;
    QHash<qint64, TrackOptions> tracks;
};

// "--sync 2:-1200,1001/960": a delay in milliseconds, then a factor.
void readSync(const QString &value, PlannedTiming &timing)
{
    const QStringList parts = value.split(u',');
    timing.offsetSeconds = parts.value(0).toLongLong() / 1000.0;
    if (parts.size() > 1) {
        const QStringList ratio = parts.at(1).split(u'/');
        const double factor = ratio.size() == 2 ? ratio.at(0).toDouble() / ratio.at(1).toDouble()
                                                : ratio.at(0).toDouble();
        if (factor != 1.0)
            timing.stretchFactor = factor;
    }
}

void readTrackOption(const QString &option, const QString &value, Input &input)
{
    const qsizetype colon = value.indexOf(u':');
    if (colon < 0)
        return;
    TrackOptions &track = input.tracks[value.left(colon).toLongLong()];
    const QString setting = value.mid(colon + 1);
    if (option == u"--language")
        track.language = setting;
    else if (option == u"--track-name")
        track.name = setting;
    else if (option == u"--default-track-flag")
        track.isDefault = setting == u"yes";
    else if (option == u"--forced-display-flag")
        track.isForced = setting == u"yes";
    else if (option == u"--sync")
        readSync(setting, track.timing);
}

// mkvmerge writes the ISO 639-2 bibliographic code where it differs from the terminology code
// the arguments give.
QString writtenLanguage(const QString &code)
{
    return code == u"deu" ? u"ger"_s : code;
}

std::optional<MediaTrack> trackOf(const std::optional<MediaInspection> &inspection, qint64 id)
{
    if (inspection) {
        for (const MediaTrack &track : inspection->tracks) {
            if (track.id == id)
                return track;
        }
    }
    return std::nullopt;
}

std::optional<QUrl> sidecarOf(const std::optional<MediaFile> &file, const QString &path)
{
    if (file) {
        for (const QUrl &sidecar : file->sidecarSubtitles) {
            if (toolFileArgument(sidecar) == path)
                return sidecar;
        }
    }
    return std::nullopt;
}

} // namespace

PairPlanDescription describeMuxPlan(const MuxPlan &plan, const MuxRequest &request)
{
    PairPlanDescription description;
    description.outputFileName = fileNameOf(plan.outputURL);
    const QDir outputFolder = QFileInfo(plan.outputURL.toLocalFile()).dir();
    QHash<QString, QString> placeholders{
        {plan.temporaryURL.toLocalFile(), u"<temporary output>"_s}};
    QHash<QString, const GermanAudioConversion *> conversions;
    for (qsizetype i = 0; i < plan.audio.conversions.size(); ++i) {
        const GermanAudioConversion &conversion = plan.audio.conversions.at(i);
        const QString path = outputFolder.absoluteFilePath(conversion.fileName);
        conversions.insert(path, &conversion);
        placeholders.insert(path, u"<converted audio %1>"_s.arg(i + 1));
    }
    for (auto copy = plan.sidecarCopies.originals.cbegin();
         copy != plan.sidecarCopies.originals.cend(); ++copy)
        placeholders.insert(copy.key(), u"<marked copy of %1>"_s.arg(fileNameOf(
                                            QUrl::fromLocalFile(copy.value()))));

    QList<Input> inputs{Input()};
    QString trackOrder;
    for (qsizetype i = 0; i < plan.arguments.size(); ++i) {
        const QString &argument = plan.arguments.at(i);
        description.mkvmergeArguments << placeholders.value(argument, argument);
        if (!argument.startsWith(u"--")) {
            inputs.last().path = argument;
            inputs << Input();
            continue;
        }
        if (!valueOptions().contains(argument) || i + 1 == plan.arguments.size())
            continue;
        const QString &value = plan.arguments.at(++i);
        description.mkvmergeArguments << placeholders.value(value, value);
        if (argument == u"--track-order")
            trackOrder = value;
        else
            readTrackOption(argument, value, inputs.last());
    }

    for (const QString &entry : trackOrder.split(u',', Qt::SkipEmptyParts)) {
        const qsizetype input = entry.section(u':', 0, 0).toLongLong();
        const qint64 id = entry.section(u':', 1, 1).toLongLong();
        if (input < 0 || input >= inputs.size())
            continue;
        const TrackOptions options = inputs.at(input).tracks.value(id);
        const QString &path = inputs.at(input).path;
        PlannedTrack track;
        track.timing = options.timing;
        if (input < 2) {
            // Inputs 0 and 1 are the episode files; mkvmerge keeps what no option sets.
            const auto &inspection = input == 0 ? request.primary : request.localized;
            const std::optional<MediaTrack> source = trackOf(inspection, id);
            const auto &file = input == 0 ? request.pair.primary : request.pair.localized;
            track.type = source ? source->type : TrackType::unknown;
            track.language = source ? source->language.value_or(u"und"_s) : u"und"_s;
            track.name = source ? source->name : std::nullopt;
            track.isDefault = source && source->defaultTrack;
            track.isForced = source && source->forcedTrack;
            track.source = {int(input) + 1, file ? fileNameOf(file->url) : QString(), id};
        } else if (const GermanAudioConversion *conversion = conversions.value(path)) {
            track.type = TrackType::audio;
            track.source = {2, fileNameOf(conversion->source), conversion->trackID};
            // At film speed already: the conversion, not a stretch, undid the speed-up.
            track.conversion = PlannedConversion{
                !conversion->toFilmSpeed ? u"cutRepair"_s
                : conversion->keepPitch  ? u"filmTempo"_s
                                         : u"filmSpeed"_s};
            if (conversion->splices && request.localizedCorrection)
                track.timing.repairSplices = request.localizedCorrection->cuts;
        } else {
            // A sidecar, or the marked copy that stands in for it.
            const QString original = plan.sidecarCopies.originals.value(path, path);
            track.type = TrackType::subtitles;
            const bool isGerman = sidecarOf(request.pair.localized, original).has_value();
            track.source = {isGerman ? 2 : 1, fileNameOf(QUrl::fromLocalFile(original)),
                            std::nullopt};
        }
        if (options.language)
            track.language = writtenLanguage(*options.language);
        if (options.name)
            track.name = options.name->isEmpty() ? std::nullopt : options.name;
        track.isDefault = options.isDefault.value_or(track.isDefault);
        track.isForced = options.isForced.value_or(track.isForced);
        description.tracks << track;
    }
    return description;
}

QString plannedTypeText(TrackType type)
{
    switch (type) {
    case TrackType::video:
        return u"Video"_s;
    case TrackType::audio:
        return u"Ton"_s;
    case TrackType::subtitles:
        return u"Untertitel"_s;
    case TrackType::buttons:
    case TrackType::unknown:
        break;
    }
    return u"Sonstige"_s;
}

QString plannedFlagsText(const PlannedTrack &track)
{
    QStringList flags;
    if (track.isDefault)
        flags << u"Standard"_s;
    if (track.isForced)
        flags << u"Erzwungen"_s;
    return flags.isEmpty() ? u"–"_s : flags.join(u", "_s);
}

QString plannedSourceText(const PlannedSource &source)
{
    QString text = u"Ordner %1: %2"_s.arg(source.folder).arg(source.fileName);
    if (source.trackID)
        text += u", Spur %1"_s.arg(*source.trackID);
    return text;
}

QString plannedTimingText(const PlannedTiming &timing)
{
    if (timing.isUnchanged())
        return u"unverändert"_s;
    const QLocale german(QLocale::German, QLocale::Germany);
    QStringList parts;
    if (timing.stretchFactor)
        parts << u"gestreckt ×"_s + german.toString(*timing.stretchFactor, 'f', 6);
    if (timing.driftFactor)
        parts << u"Drift ×"_s + german.toString(*timing.driftFactor, 'f', 6);
    if (timing.offsetSeconds != 0)
        parts << u"Versatz %1%2 s"_s.arg(timing.offsetSeconds > 0 ? u"+"_s : u"−"_s)
                     .arg(german.toString(std::abs(timing.offsetSeconds), 'f', 3));
    if (!timing.repairSplices.isEmpty())
        parts << u"%1 Schnitte ausgeglichen"_s.arg(timing.repairSplices.size());
    return parts.join(u", "_s);
}

QString plannedConversionText(const std::optional<PlannedConversion> &conversion)
{
    if (!conversion)
        return u"keine"_s;
    QString text = conversion->kind == u"cutRepair"_s   ? u"an den Schnitten neu zusammengesetzt"_s
                   : conversion->kind == u"filmTempo"_s ? u"auf Filmgeschwindigkeit gebracht, "
                                                          u"Tonhöhe beibehalten"_s
                                                        : u"auf Filmgeschwindigkeit und -tonhöhe "
                                                          u"gebracht"_s;
    if (conversion->codec) {
        text += u", "_s + *conversion->codec;
        if (conversion->kilobitsPerSecond)
            text += u", %1 kbit/s"_s.arg(*conversion->kilobitsPerSecond);
    }
    return text;
}
