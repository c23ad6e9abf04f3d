// The output folder of one pair, held open while the pair runs, and the hidden names in it.
#include "OutputDirectory.h"

#include "MuxError.h"

#include <QFile>
#include <QScopeGuard>
#include <QUuid>

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

// The call's own result, or -1 with `refusal` as errno where a test stands in for it.
template <typename Call>
int unlessRefused(int refusal, Call call)
{
    if (refusal == 0)
        return call();
    errno = refusal;
    return -1;
}

// Errors by which a file system says it lacks the call, rather than that the call failed.
bool isUnsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
}

bool isSameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
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
    const int folder = m_descriptor;
    if (unlessRefused(m_refusals.noReplaceRename, [&] {
            return ::renameat2(folder, source.constData(), folder, target.constData(),
                               RENAME_NOREPLACE);
        }) == 0)
        return MoveOutcome::moved;
    const int renameFailure = errno;
    if (renameFailure == EEXIST)
        return MoveOutcome::nameTaken;
    // EPERM from a rename is a permission, not a missing feature.
    if (renameFailure == EPERM || !isUnsupported(renameFailure)) {
        error = reasonOf(renameFailure);
        return MoveOutcome::failed;
    }
    // A file system that cannot rename without replacing still refuses to link over a name.
    if (unlessRefused(m_refusals.hardLink, [&] {
            return ::linkat(folder, source.constData(), folder, target.constData(), 0);
        }) == 0) {
        ::unlinkat(folder, source.constData(), 0);
        return MoveOutcome::moved;
    }
    const int linkFailure = errno;
    if (linkFailure == EEXIST)
        return MoveOutcome::nameTaken;
    if (!isUnsupported(linkFailure)) {
        error = reasonOf(linkFailure);
        return MoveOutcome::failed;
    }
    // The last way that never replaces a file we did not make: take the name with an empty
    // file of our own, then replace only that file.
    const int placeholder = unlessRefused(m_refusals.placeholder, [&] {
        return ::openat(folder, target.constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    });
    const int placeholderFailure = placeholder < 0 ? errno : 0;
    if (placeholderFailure == EEXIST)
        return MoveOutcome::nameTaken;
    // Held open until the end: a file made after ours was removed cannot get its inode.
    const auto closePlaceholder = qScopeGuard([&] {
        if (placeholder >= 0)
            ::close(placeholder);
    });
    struct stat ours {};
    if (placeholder >= 0)
        ::fstat(placeholder, &ours);
    const auto refusedAll = [&](int lastFailure) {
        return u"Das Dateisystem des Ausgabeordners verweigert das Umbenennen ohne Ersetzen "
               u"(%1), feste Verknüpfungen (%2) und das Ersetzen eines eigenen Platzhalters "
               u"(%3)."_s.arg(reasonOf(renameFailure), reasonOf(linkFailure),
                              reasonOf(lastFailure));
    };
    if (placeholder < 0) {
        error = refusedAll(placeholderFailure);
        return MoveOutcome::failed;
    }
    if (m_refusals.beforeReplacingPlaceholder)
        m_refusals.beforeReplacingPlaceholder();
    const auto holdsPlaceholder = [&] {
        struct stat now {};
        return ::fstatat(folder, target.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
               isSameFile(now, ours);
    };
    if (!holdsPlaceholder())
        return MoveOutcome::nameTaken;
    if (::renameat(folder, source.constData(), folder, target.constData()) == 0)
        return MoveOutcome::moved;
    const int replaceFailure = errno;
    if (holdsPlaceholder())
        ::unlinkat(folder, target.constData(), 0);
    error = refusedAll(replaceFailure);
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
