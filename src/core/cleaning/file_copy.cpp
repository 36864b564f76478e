#include "core/cleaning/file_copy.h"

#include <QByteArray>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace clarivex::cleaning {

namespace {

constexpr size_t kChunk = 1 << 20;

// read()/write() for the pairs copy_file_range() refuses.
int copyByReading(int from, int to, qint64 done, const ByteProgress &progress)
{
    QByteArray buffer(qsizetype(kChunk), Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), kChunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        if (got == 0) return 0;
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = ::write(to, buffer.constData() + written, size_t(got - written));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) return errno;
            written += put;
        }
        done += got;
        if (progress && !progress(done)) return ECANCELED;
    }
}

} // namespace

int copyContents(int from, int to, const ByteProgress &progress)
{
    if (::lseek(from, 0, SEEK_SET) < 0) return errno;
    qint64 done = 0;
    for (;;) {
        const ssize_t got = ::copy_file_range(from, nullptr, to, nullptr, kChunk, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && done == 0 &&
            (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
            return copyByReading(from, to, done, progress);
        if (got < 0) return errno;
        if (got == 0) return 0;
        done += got;
        if (progress && !progress(done)) return ECANCELED;
    }
}

int copyAttributes(const struct stat &source, int to)
{
    mode_t mode = source.st_mode & 07777;
    if (::fchown(to, source.st_uid, source.st_gid) != 0) mode &= 01777; // no set-id for a new owner
    if (::fchmod(to, mode) != 0) return errno;
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if (::futimens(to, times) != 0) return errno;
    return 0;
}

int syncAndCheckSize(int fd, qint64 size)
{
    if (::fsync(fd) != 0) return errno;
    struct stat st;
    if (::fstat(fd, &st) != 0) return errno;
    return st.st_size == size ? 0 : EIO;
}

} // namespace clarivex::cleaning
