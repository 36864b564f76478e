#include "core/cleaning/zip_archive_folder.h"

#include "core/cleaning/remove_entry.h"

#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace clarivex::cleaning {

namespace {

bool isDigits(const QByteArray &text, qsizetype from, qsizetype count)
{
    for (qsizetype i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

bool startsAsArchive(int folderFd, const char *name)
{
    const UniqueFd fd(::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) return false;
    char head[2];
    const ssize_t got = ::read(fd.get(), head, sizeof head);
    return got == 0 || (got == 2 && head[0] == 'P' && head[1] == 'K');
}

} // namespace

int ArchiveFolderLock::acquire(const QByteArray &folder, int waitMs,
                               const std::function<bool()> &cancelled)
{
    m_fd.reset(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_fd.valid()) return errno;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (::flock(m_fd.get(), LOCK_EX | LOCK_NB) == 0) return 0;
        const int error = errno;
        // A file system without locks: the cleans cannot be kept apart, and
        // the check of every entry after the commit is what is left.
        if (error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS) return 0;
        if (error != EWOULDBLOCK && error != EINTR) return error;
        if (cancelled && cancelled()) return ECANCELED;
        if (clock.elapsed() >= waitMs) return EWOULDBLOCK;
        QThread::msleep(20);
    }
}

bool isTemporaryArchiveName(const QByteArray &name)
{
    // dd-MM-yyyy.zip.XXXXXX
    if (name.size() != 21 || name.mid(10, 5) != ".zip." || name[2] != '-' || name[5] != '-')
        return false;
    if (!isDigits(name, 0, 2) || !isDigits(name, 3, 2) || !isDigits(name, 6, 4)) return false;
    for (qsizetype i = 15; i < 21; ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    }
    return true;
}

int removeStaleTemporaries(int folderFd)
{
    return removeFilesWhere(folderFd, [folderFd](const QByteArray &name) {
        if (!isTemporaryArchiveName(name)) return false;
        struct stat st;
        if (::fstatat(folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1)
            return false;
        return startsAsArchive(folderFd, name.constData());
    });
}

int prepareArchiveFile(const QByteArray &archive, bool &created)
{
    created = false;
    UniqueFd fd(
        ::open(archive.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.valid()) {
        created = true;
        return 0;
    }
    if (errno != EEXIST) return errno;
    fd.reset(::open(archive.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) return errno;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    // Empty: made by a run that was killed before it wrote anything.
    if (st.st_size == 0 && st.st_uid == ::geteuid()) {
        created = true;
        if (st.st_mode & 077) ::fchmod(fd.get(), 0600);
        return 0;
    }
    // The commit writes the new archive with the mode of the old one. A file
    // that is no archive is left as it is (the open of it fails later).
    char head[2];
    if (st.st_uid == ::geteuid() && (st.st_mode & 077) && ::read(fd.get(), head, 2) == 2 &&
        head[0] == 'P' && head[1] == 'K')
        ::fchmod(fd.get(), st.st_mode & 0700);
    return 0;
}

} // namespace clarivex::cleaning
