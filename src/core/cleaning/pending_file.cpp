#include "core/cleaning/pending_file.h"

#include "core/cleaning/entry_names.h"
#include "core/cleaning/file_copy.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>

namespace clarivex::cleaning {

PendingFile::PendingFile(int folderFd, mode_t mode, int &error) : m_folderFd(folderFd)
{
    error = 0;
    m_fd.reset(::openat(folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
    if (m_fd.valid()) return;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        error = errno;
        return;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = ".clarivex-" +
                          QByteArray::number(QRandomGenerator::global()->generate(), 36) +
                          QByteArray::number(attempt);
        m_fd.reset(::openat(folderFd, name.constData(),
                            O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, mode));
        if (m_fd.valid()) {
            m_tempName = name;
            return;
        }
        if (errno != EEXIST) break;
    }
    error = errno;
}

PendingFile::~PendingFile()
{
    if (!m_published && !m_tempName.isEmpty()) ::unlinkat(m_folderFd, m_tempName.constData(), 0);
}

int PendingFile::publish(const QByteArray &name)
{
    if (m_published) return EALREADY;
    if (m_tempName.isEmpty()) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd.get());
        if (::linkat(AT_FDCWD, self.constData(), m_folderFd, name.constData(), AT_SYMLINK_FOLLOW))
            return errno;
    } else if (const int error = renameNoReplace(m_folderFd, m_tempName, m_folderFd, name)) {
        if (error != ENOTSUP) return error;
        return publishByCopy(name);
    }
    m_published = true;
    return 0;
}

int PendingFile::publishByCopy(const QByteArray &name)
{
    // The file system can neither rename without replacing nor link: the
    // final name is made with O_EXCL (never replacing a file) and filled
    // from the temporary file, which then goes.
    struct stat st;
    if (::fstat(m_fd.get(), &st) != 0) return errno;
    UniqueFd out(::openat(m_folderFd, name.constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.valid()) return errno;
    int error = copyContents(m_fd.get(), out.get());
    if (error == 0) error = copyAttributes(st, out.get());
    if (error == 0) error = syncAndCheckSize(out.get(), st.st_size);
    if (error != 0) {
        ::unlinkat(m_folderFd, name.constData(), 0);
        return error;
    }
    ::unlinkat(m_folderFd, m_tempName.constData(), 0);
    m_fd = std::move(out);
    m_published = true;
    return 0;
}

int PendingFile::publishUnique(const std::function<QByteArray(int)> &candidateName,
                               QByteArray &taken)
{
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QByteArray name = candidateName(n);
        if (name.isEmpty()) return EEXIST; // the caller has no other name to offer
        const int error = publish(name);
        if (error == 0) {
            taken = name;
            return 0;
        }
        if (error != EEXIST) return error;
    }
    return EEXIST;
}

int renameNoReplace(int fromFd, const QByteArray &from, int toFd, const QByteArray &to)
{
    if (::renameat2(fromFd, from.constData(), toFd, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // No RENAME_NOREPLACE here: a hard link fails on a taken name, and the
    // source name goes only once the new one exists.
    if (::linkat(fromFd, from.constData(), toFd, to.constData(), 0) != 0) {
        const int error = errno;
        return error == ENOSYS || error == EOPNOTSUPP || error == EPERM ? ENOTSUP : error;
    }
    if (::unlinkat(fromFd, from.constData(), 0) != 0) return errno;
    return 0;
}

} // namespace clarivex::cleaning
