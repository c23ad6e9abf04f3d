#include "OutputDirectory.h"

#include "MuxError.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

OutputDirectory::OutputDirectory(QString path) : m_path(std::move(path))
{
    // O_PATH: a folder the user may write to but not list is still an output folder.
    // O_CLOEXEC: mkvmerge reaches the folder through /proc/<our pid>/fd, so no tool inherits it.
    m_descriptor = ::open(QFile::encodeName(m_path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat status {};
    if (m_descriptor < 0 || ::fstat(m_descriptor, &status) != 0) {
        const int error = errno;
        if (m_descriptor >= 0)
            ::close(m_descriptor);
        // mkvmerge would create a missing folder; the user chose one that exists.
        if (error == ENOENT || error == ENOTDIR)
            throw MuxError::failed(u"Der Ausgabeordner fehlt: "_s + m_path);
        throw MuxError::failed(m_path + u": "_s + reasonOf(error));
    }
    m_device = status.st_dev;
    m_inode = status.st_ino;
}

OutputDirectory::~OutputDirectory()
{
    ::close(m_descriptor);
}

QString OutputDirectory::pathInside(const QString &name) const
{
    // The kernel resolves a descriptor's entry to the folder itself, not to its old path.
    return u"/proc/%1/fd/%2/"_s.arg(::getpid()).arg(m_descriptor) + name;
}

QString OutputDirectory::withFolderPath(QString toolText) const
{
    return toolText.replace(pathInside({}), m_path + u'/');
}

bool OutputDirectory::isStillAtItsPath() const
{
    struct stat status {};
    return ::stat(QFile::encodeName(m_path).constData(), &status) == 0 &&
           status.st_dev == m_device && status.st_ino == m_inode;
}

OutputDirectory::MoveOutcome
OutputDirectory::moveWithoutReplacing(const QString &from, const QString &to, QString &error) const
{
    const QByteArray source = QFile::encodeName(from), target = QFile::encodeName(to);
    if (::renameat2(m_descriptor, source.constData(), m_descriptor, target.constData(),
                    RENAME_NOREPLACE) == 0)
        return MoveOutcome::moved;
    int failure = errno;
    // A file system that cannot rename without replacing still refuses to link over a name.
    if (failure == EINVAL || failure == ENOSYS || failure == EOPNOTSUPP) {
        if (::linkat(m_descriptor, source.constData(), m_descriptor, target.constData(), 0) == 0) {
            ::unlinkat(m_descriptor, source.constData(), 0);
            return MoveOutcome::moved;
        }
        failure = errno;
    }
    if (failure == EEXIST)
        return MoveOutcome::nameTaken;
    error = reasonOf(failure);
    return MoveOutcome::failed;
}

void OutputDirectory::remove(const QString &name) const
{
    const QByteArray entry = QFile::encodeName(name);
    if (::unlinkat(m_descriptor, entry.constData(), 0) == 0 || errno == ENOENT)
        return;
    // A folder made read-only keeps the name, but need not keep the data.
    const int file =
        ::openat(m_descriptor, entry.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return;
    struct stat status {};
    if (::fstat(file, &status) == 0 && S_ISREG(status.st_mode)) {
        [[maybe_unused]] const int truncated = ::ftruncate(file, 0);
    }
    ::close(file);
}
