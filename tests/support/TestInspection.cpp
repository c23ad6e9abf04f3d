#include "TestInspection.h"

#include <QDir>
#include <QFile>

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
