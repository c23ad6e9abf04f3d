// Names for the program's hidden temporary files, and the removal of those a dead run left.
#include "TemporaryNames.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QUuid>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// The process's start time in clock ticks after boot (field 22 of /proc/<pid>/stat); absent
// when there is no such process or no /proc.
std::optional<qulonglong> startTimeOf(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The command name in field 2 may hold spaces and parentheses; it ends at the last ')'.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    bool ok = false;
    const qulonglong ticks = fields.value(19).toULongLong(&ok);
    return ok ? std::optional(ticks) : std::nullopt;
}

const QString &ownMark()
{
    static const QString mark =
        u".spurenflechter-%1-%2-"_s.arg(::getpid()).arg(startTimeOf(::getpid()).value_or(0));
    return mark;
}

bool ownerHasEnded(qint64 pid, qulonglong startTime)
{
    if (!QFile::exists(u"/proc/self/stat"_s))
        return false;
    if (!QFile::exists(u"/proc/%1"_s.arg(pid)))
        return true;
    const std::optional<qulonglong> running = startTimeOf(pid);
    return running && *running != startTime; // unreadable: assumed alive
}

// The files below `folder` and their size, links not followed.
LeftoverRemoval contentsOf(const QString &folder)
{
    LeftoverRemoval contents;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file = it.nextFileInfo();
        ++contents.files;
        contents.bytes += file.isSymLink() ? 0 : file.size();
    }
    return contents;
}

} // namespace

QString hiddenTemporaryName(const QString &suffix)
{
    return ownMark() + QUuid::createUuid().toString(QUuid::WithoutBraces) + suffix;
}

LeftoverRemoval removeLeftovers(const QString &folder)
{
    static const QRegularExpression marked(uR"(^\.spurenflechter-([0-9]+)-([0-9]+)-)"
                                           uR"([0-9a-f]{8}-(?:[0-9a-f]{4}-){3}[0-9a-f]{12})"_s);
    LeftoverRemoval removed;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                   QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch mark = marked.match(entry.fileName());
        if (!mark.hasMatch() ||
            !ownerHasEnded(mark.captured(1).toLongLong(), mark.captured(2).toULongLong()))
            continue;
        if (entry.isDir() && !entry.isSymLink()) {
            const LeftoverRemoval contents = contentsOf(entry.filePath());
            if (QDir(entry.filePath()).removeRecursively()) {
                removed.files += contents.files;
                removed.bytes += contents.bytes;
            }
        } else {
            const qint64 size = entry.isSymLink() ? 0 : entry.size();
            if (QFile::remove(entry.filePath())) {
                ++removed.files;
                removed.bytes += size;
            }
        }
    }
    return removed;
}

std::optional<QString> leftoverNote(const LeftoverRemoval &removal, const QString &where)
{
    if (removal.files == 0)
        return std::nullopt;
    const QString size =
        QLocale(QLocale::German).formattedDataSize(removal.bytes, 1, QLocale::DataSizeSIFormat);
    const QString what = removal.files == 1
                             ? u"wurde 1 liegen gebliebene temporäre Datei"_s
                             : u"wurden %1 liegen gebliebene temporäre Dateien"_s.arg(removal.files);
    return u"%1 %2 eines beendeten Laufs entfernt (%3)."_s.arg(where, what, size);
}
