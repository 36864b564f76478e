#include "core/cleaning/zip_read_back.h"

#include <QtEndian>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex::cleaning {

namespace {

constexpr quint32 kLocalSignature = 0x04034b50;
constexpr quint32 kCentralSignature = 0x02014b50;
constexpr quint32 kEndSignature = 0x06054b50;
constexpr quint32 kZip64EndSignature = 0x06064b50;
constexpr quint32 kZip64LocatorSignature = 0x07064b50;
constexpr qint64 kEndSize = 22;
constexpr qint64 kLocatorSize = 20;
constexpr qint64 kZip64EndSize = 56;
constexpr qint64 kCentralSize = 46;
constexpr qint64 kLocalSize = 30;
constexpr quint64 kWindow = 4 << 20;

// The archive's numbers, little-endian at any alignment.
quint16 le16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}

quint32 le32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

quint64 le64(const char *p)
{
    return qFromLittleEndian<quint64>(p);
}

} // namespace

ArchiveReadBack::ArchiveReadBack(const QByteArray &path) : m_path(path)
{
    m_fd.reset(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!m_fd.valid() || ::fstat(m_fd.get(), &st) != 0) {
        m_error = ZIP_ER_OPEN;
        return;
    }
    m_fileSize = quint64(st.st_size);
    m_error = readDirectory();
    if (m_error) m_entries.clear();
}

ArchiveReadBack::~ArchiveReadBack()
{
    if (m_zip) zip_discard(m_zip);
}

bool ArchiveReadBack::readAt(quint64 offset, char *to, qint64 length) const
{
    while (length > 0) {
        const ssize_t n = ::pread(m_fd.get(), to, size_t(length), off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        to += n;
        offset += quint64(n);
        length -= n;
    }
    return true;
}

int ArchiveReadBack::readDirectory()
{
    // The end record, at most 64 kB of comment before the file's end.
    const quint64 tailSize = std::min<quint64>(m_fileSize, kEndSize + 0xffff + kLocatorSize);
    if (tailSize < quint64(kEndSize)) return ZIP_ER_NOZIP;
    QByteArray tail(qsizetype(tailSize), Qt::Uninitialized);
    if (!readAt(m_fileSize - tailSize, tail.data(), qint64(tailSize))) return ZIP_ER_READ;
    qsizetype end = qsizetype(tailSize) - kEndSize;
    while (end >= 0 && !(le32(tail.constData() + end) == kEndSignature &&
                         end + kEndSize + le16(tail.constData() + end + 20) == tail.size()))
        --end;
    if (end < 0) return ZIP_ER_NOZIP;
    const char *record = tail.constData() + end;
    quint64 count = le16(record + 10);
    quint64 directorySize = le32(record + 12);
    quint64 directoryStart = le32(record + 16);
    if (count == 0xffff || directorySize == 0xffffffff || directoryStart == 0xffffffff) {
        if (end < kLocatorSize) return ZIP_ER_INCONS;
        const char *locator = record - kLocatorSize;
        if (le32(locator) != kZip64LocatorSignature) return ZIP_ER_INCONS;
        char zip64[kZip64EndSize];
        const quint64 at = le64(locator + 8);
        if (at > m_fileSize || !readAt(at, zip64, kZip64EndSize) ||
            le32(zip64) != kZip64EndSignature)
            return ZIP_ER_INCONS;
        count = le64(zip64 + 32);
        directorySize = le64(zip64 + 40);
        directoryStart = le64(zip64 + 48);
    }
    if (directoryStart > m_fileSize || directorySize > m_fileSize - directoryStart ||
        count > directorySize / kCentralSize)
        return ZIP_ER_INCONS;
    m_directoryStart = directoryStart;
    m_directory.resize(qsizetype(directorySize));
    if (!readAt(directoryStart, m_directory.data(), qint64(directorySize))) return ZIP_ER_READ;
    m_entries.reserve(size_t(count));
    const char *data = m_directory.constData();
    qsizetype at = 0;
    for (quint64 n = 0; n < count; ++n) {
        if (at + kCentralSize > m_directory.size() || le32(data + at) != kCentralSignature)
            return ZIP_ER_INCONS;
        const char *header = data + at;
        Entry entry;
        entry.flags = le16(header + 8);
        entry.method = le16(header + 10);
        entry.crc = le32(header + 16);
        entry.compressedSize = le32(header + 20);
        entry.size = le32(header + 24);
        entry.nameLength = le16(header + 28);
        const quint16 extraLength = le16(header + 30);
        const quint16 commentLength = le16(header + 32);
        entry.localHeader = le32(header + 42);
        entry.nameAt = at + kCentralSize;
        const qsizetype next = entry.nameAt + entry.nameLength + extraLength + commentLength;
        if (next > m_directory.size()) return ZIP_ER_INCONS;
        // Zip64: the values that do not fit in 32 bits follow in this order.
        const char *extra = data + entry.nameAt + entry.nameLength;
        for (qsizetype e = 0; e + 4 <= extraLength;) {
            const quint16 id = le16(extra + e);
            const quint16 length = le16(extra + e + 2);
            if (e + 4 + length > extraLength) return ZIP_ER_INCONS;
            if (id == 0x0001) {
                const char *value = extra + e + 4;
                const char *valueEnd = value + length;
                for (quint64 *field : {&entry.size, &entry.compressedSize, &entry.localHeader}) {
                    if (*field != 0xffffffff) continue;
                    if (value + 8 > valueEnd) return ZIP_ER_INCONS;
                    *field = le64(value);
                    value += 8;
                }
            }
            e += 4 + length;
        }
        m_entries.push_back(entry);
        at = next;
    }
    return 0;
}

const char *ArchiveReadBack::bytes(quint64 offset, quint64 length)
{
    if (offset > m_fileSize || length > m_fileSize - offset) return nullptr;
    if (offset >= m_windowStart && offset + length <= m_windowStart + quint64(m_window.size()))
        return m_window.constData() + (offset - m_windowStart);
    const quint64 size = std::min(std::max(length, kWindow), m_fileSize - offset);
    m_window.resize(qsizetype(size));
    m_windowStart = offset;
    if (!readAt(offset, m_window.data(), qint64(size))) {
        m_window.clear();
        return nullptr;
    }
    return m_window.constData();
}

bool ArchiveReadBack::checkStreamed(zip_int64_t index, quint32 &crc, qint64 &size)
{
    if (!m_zip) {
        int code = 0;
        m_zip = zip_open(m_path.constData(), ZIP_RDONLY, &code);
        if (!m_zip) return false;
    }
    return readBackEntry(m_zip, index, m_buffers, crc, size);
}

bool ArchiveReadBack::check(zip_int64_t index, const QByteArray &name, quint32 &crc, qint64 &size)
{
    if (index < 0 || index >= count()) return false;
    const Entry &entry = m_entries[size_t(index)];
    const QByteArrayView central(m_directory.constData() + entry.nameAt, entry.nameLength);
    if (central != name || (entry.flags & 1) ||
        (entry.method != ZIP_CM_STORE && entry.method != ZIP_CM_DEFLATE))
        return false;
    constexpr quint64 kWhole = ReadBackBuffers::kWholeLimit;
    if (entry.size > kWhole || entry.compressedSize > kWhole)
        return checkStreamed(index, crc, size);
    // The entry's data lies between its local header and the directory.
    const char *local = bytes(entry.localHeader, kLocalSize);
    if (!local || le32(local) != kLocalSignature || le16(local + 8) != entry.method) return false;
    const quint64 head = kLocalSize + le16(local + 26) + le16(local + 28);
    if (le16(local + 26) != entry.nameLength || entry.localHeader + head > m_directoryStart ||
        entry.compressedSize > m_directoryStart - entry.localHeader - head)
        return false;
    const char *record = bytes(entry.localHeader, head + entry.compressedSize);
    if (!record || QByteArrayView(record + kLocalSize, entry.nameLength) != central) return false;
    const bool deflated = entry.method == ZIP_CM_DEFLATE;
    if (!deflated && entry.compressedSize != entry.size) return false;
    return m_buffers.sum(record + head, size_t(entry.compressedSize), deflated, entry.size, crc,
                         size) &&
           crc == entry.crc;
}

ReadBackRun::ReadBackRun(const QByteArray &archive, std::vector<Expected> expected, bool thread)
    : m_reader(archive), m_expected(std::move(expected)), m_passed(m_expected.size(), 0)
{
    if (m_reader.openError()) {
        m_done = qsizetype(m_expected.size()); // nothing passes
        return;
    }
    if (thread) m_thread = std::thread([this] { run(); });
}

ReadBackRun::~ReadBackRun()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    if (m_thread.joinable()) m_thread.join();
}

bool ReadBackRun::check(size_t k)
{
    const Expected &entry = m_expected[k];
    quint32 crc = 0;
    qint64 size = -1;
    return m_reader.check(entry.index, entry.name, crc, size) && crc == entry.crc &&
           size == entry.size;
}

void ReadBackRun::run()
{
    for (size_t k = 0; k < m_expected.size(); ++k) {
        const bool pass = check(k);
        {
            const std::lock_guard lock(m_mutex);
            if (m_stop) return;
            m_passed[k] = pass;
            m_done = qsizetype(k) + 1;
        }
        m_changed.notify_all();
    }
}

bool ReadBackRun::passed(qsizetype k)
{
    if (!m_thread.joinable()) { // checked here, in order
        for (; m_done <= k; ++m_done)
            m_passed[size_t(m_done)] = check(size_t(m_done));
        return m_passed[size_t(k)] != 0;
    }
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_done > k; });
    return m_passed[size_t(k)] != 0;
}

} // namespace clarivex::cleaning
