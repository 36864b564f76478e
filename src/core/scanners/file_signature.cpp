#include "core/scanners/file_signature.h"

#include <QDateTime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

namespace clarivex {

namespace {

constexpr qsizetype kBlockSize = 256 * 1024;

} // namespace

qsizetype readFully(int fd, char *buffer, qsizetype length, qint64 offset)
{
    qsizetype done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, buffer + done, size_t(length - done), offset + done);
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

// Never through a link, and never waiting: a named pipe or device put in a
// file's place opens at once and is refused as no regular file.
constexpr int kCandidateFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

CandidateFile::CandidateFile(const QByteArray &path, qint64 expectedSize)
{
    take(::open(path.constData(), kCandidateFlags), expectedSize);
}

CandidateFile::CandidateFile(int dirFd, const char *name, qint64 expectedSize)
{
    take(::openat(dirFd, name, kCandidateFlags), expectedSize);
}

void CandidateFile::take(int fd, qint64 expectedSize)
{
    if (fd < 0) return;
    struct stat facts
    {
    };
    if (::fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode) || facts.st_size != expectedSize) {
        ::close(fd);
        return;
    }
    m_fd = fd;
    m_identity = {facts.st_dev, facts.st_ino};
    m_modified = facts.st_mtim.tv_sec;
}

CandidateFile::~CandidateFile()
{
    if (m_fd >= 0) ::close(m_fd);
}

CandidateFile::CandidateFile(CandidateFile &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_identity(other.m_identity),
      m_modified(other.m_modified)
{
}

CandidateFile &CandidateFile::operator=(CandidateFile &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_identity = other.m_identity;
        m_modified = other.m_modified;
    }
    return *this;
}

quint32 dosDateTime(qint64 seconds)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds).toLocalTime();
    const QDate date = local.date();
    const QTime time = local.time();
    if (date.year() < 1980 || date.year() > 2107) return 0; // no DOS date for it
    const quint32 high = quint32((date.year() - 1980) << 9 | date.month() << 5 | date.day());
    const quint32 low = quint32(time.hour() << 11 | time.minute() << 5 | time.second() / 2);
    return high << 16 | low;
}

qint32 FileSignature(qint64 size, const CandidateFile &file, bool byDateTime)
{
    if (size == 0 || !file.isOpen()) return 0;
    if (byDateTime) return qint32(dosDateTime(file.modifiedSeconds()) & 0x7FFFFFFF);
    const qsizetype words = qsizetype(std::min<qint64>(size / 4, 128));
    unsigned char head[512];
    if (readFully(file.fd(), reinterpret_cast<char *>(head), words * 4, 0) != words * 4) return 0;
    quint32 sum = 0;
    for (qsizetype i = 0; i < words; ++i) {
        const unsigned char *w = head + i * 4;
        sum += quint32(w[0]) | quint32(w[1]) << 8 | quint32(w[2]) << 16 | quint32(w[3]) << 24;
    }
    return qint32(sum & 0x7FFFFFFF);
}

qint32 FileSignature(qint64 size, const QByteArray &path, bool byDateTime)
{
    return FileSignature(size, CandidateFile(path, size), byDateTime);
}

bool sameContent(const CandidateFile &a, const CandidateFile &b, qint64 size,
                 const std::function<bool()> &keepGoing)
{
    if (!a.isOpen() || !b.isOpen()) return false;
    // Two blocks kept for the thread: no allocation per pair compared.
    thread_local std::unique_ptr<char[]> buffers;
    if (!buffers) buffers = std::make_unique<char[]>(size_t(2 * kBlockSize));
    char *const left = buffers.get();
    char *const right = left + kBlockSize;
    if (size > kBlockSize) {
        (void)::posix_fadvise(a.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
        (void)::posix_fadvise(b.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    for (qint64 offset = 0; offset < size; offset += kBlockSize) {
        if (keepGoing && !keepGoing()) return false;
        const qsizetype length = qsizetype(std::min<qint64>(kBlockSize, size - offset));
        if (readFully(a.fd(), left, length, offset) != length ||
            readFully(b.fd(), right, length, offset) != length)
            return false;
        if (std::memcmp(left, right, size_t(length)) != 0) return false;
    }
    return true;
}

bool FilesAreDuplicates(qint64 size, const QByteArray &master, const QByteArray &candidate)
{
    const CandidateFile a(master, size);
    const CandidateFile b(candidate, size);
    if (!a.isOpen() || !b.isOpen() || a.identity() == b.identity()) return false;
    return sameContent(a, b, size);
}

} // namespace clarivex
