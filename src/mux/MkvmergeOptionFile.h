// mkvmerge's arguments passed in a JSON option file rather than on the command line.
#pragma once

#include <QStringList>
#include <QTemporaryFile>

// mkvmerge reads every argument that begins with "@" as the name of an option file, so an
// output called "@Film.mkv" could not be passed on the command line. The arguments go into a
// JSON option file instead, where each one arrives as it stands. The file is private to the
// user and removed when this object goes.
class MkvmergeOptionFile {
public:
    // Writes the file into the temporary folder; false when it could not be written (see
    // errorString()).
    bool write(const QStringList &arguments);

    // The one argument for mkvmerge: "@" and the file's path.
    QString argument() const;
    // German, naming the folder.
    const QString &errorString() const { return m_error; }

private:
    QTemporaryFile m_file;
    QString m_error;
};
