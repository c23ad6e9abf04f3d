// Writing mkvmerge's arguments into a private JSON option file.
#include "MkvmergeOptionFile.h"

#include "tools/TemporaryFolder.h"
#include "tools/TemporaryNames.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::Literals::StringLiterals;

bool MkvmergeOptionFile::write(const QStringList &arguments)
{
    const TemporaryFolder &folder = temporaryFolder();
    if (folder.path.isEmpty()) {
        m_error = folder.problem;
        return false;
    }
    // QTemporaryFile creates the file exclusively, readable by its owner only and with
    // O_CLOEXEC, so no tool inherits it.
    m_file.setFileTemplate(folder.filePath(hiddenTemporaryName(u"-options-XXXXXX.json"_s)));
    const QByteArray json =
        QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact);
    const bool written = m_file.open() && m_file.write(json) == json.size() && m_file.flush();
    if (!written)
        m_error = u"Die Optionsdatei für mkvmerge ließ sich nicht in %1 schreiben: %2"_s.arg(
            folder.path, m_file.errorString());
    m_file.close();
    return written;
}

QString MkvmergeOptionFile::argument() const
{
    return u"@"_s + m_file.fileName();
}
