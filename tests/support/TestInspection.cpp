// Views of processes, issues, tracks and folders that tests compare.
#include "TestInspection.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

QStringList processesNaming(const QString &text)
{
    QStringList found;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly)) {
            const QString line = QString::fromLocal8Bit(cmdline.readAll()).replace(u'\0', u' ');
            if (line.contains(text))
                found << line;
        }
    }
    return found;
}

QStringList issueTexts(const QList<AnalysisIssue> &issues)
{
    QStringList texts;
    for (const AnalysisIssue &issue : issues)
        texts << QString::number(rawValue(issue.severity)) + u' ' + issue.message;
    return texts;
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name);
}

QStringList trackLayout(const QString &file)
{
    QProcess identify;
    identify.start(QStringLiteral("/usr/bin/mkvmerge"), {QStringLiteral("-J"), file});
    identify.waitForFinished(-1);
    const QJsonObject report = QJsonDocument::fromJson(identify.readAllStandardOutput()).object();
    QStringList tracks;
    for (const QJsonValue &value : report.value(u"tracks").toArray()) {
        const QJsonObject properties = value.toObject().value(u"properties").toObject();
        const auto flag = [&](QStringView name) {
            return properties.value(name).toBool() ? QStringLiteral("yes") : QStringLiteral("no");
        };
        tracks << QStringLiteral("%1 %2 %3 default=%4 forced=%5")
                      .arg(value.toObject().value(u"type").toString(),
                           properties.value(u"language").toString(),
                           properties.value(u"track_name").toString(), flag(u"default_track"),
                           flag(u"forced_track"));
    }
    return tracks;
}
