#include "MkvmergeOptionFile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

bool MkvmergeOptionFile::write(const QStringList &arguments)
{
    // QTemporaryFile creates the file exclusively and readable by its owner only.
    m_file.setFileTemplate(QDir::tempPath() +
                           QStringLiteral("/Spurenflechter-options-XXXXXX.json"));
    if (!m_file.open())
        return false;
    const QByteArray json =
        QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact);
    const bool written = m_file.write(json) == json.size() && m_file.flush();
    m_file.close();
    return written;
}

QString MkvmergeOptionFile::argument() const
{
    return QStringLiteral("@") + m_file.fileName();
}
