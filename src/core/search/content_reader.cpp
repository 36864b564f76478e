#include "core/search/content_reader.h"

#include "core/search/kv_search.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace clarivex {

namespace {

// A block that took longer than this to read and search halves the next.
constexpr auto kSlowBlock = std::chrono::milliseconds(20);
constexpr qsizetype kSmallestBlock = ContentReader::kBlockSize / 16;

ssize_t readAt(int file, char *into, qint64 want, qint64 pos)
{
    for (;;) {
        const ssize_t got = ::pread(file, into, size_t(want), off_t(pos));
        if (got >= 0 || errno != EINTR) return got;
    }
}

// Finds the next run of data at or after pos in a sparse file; false when
// only a hole is left. A file system that cannot tell gives one run to the end.
bool nextDataRun(int fd, qint64 &pos, qint64 &runEnd, qint64 size)
{
    const off_t data = ::lseek(fd, off_t(pos), SEEK_DATA);
    if (data < 0) {
        runEnd = size;
        return errno != ENXIO;
    }
    if (data >= size) return false;
    const off_t hole = ::lseek(fd, data, SEEK_HOLE);
    pos = data;
    runEnd = hole < 0 ? size : std::min<qint64>(hole, size);
    return true;
}

} // namespace

bool ContentReader::holds(const TKvSearch &search, int file, struct statx &st, bool &statted,
                          const std::function<void()> &pump)
{
    const qsizetype m = search.pattern().size();
    if (m == 0 || (statted && qint64(st.stx_size) < m)) return false; // empty files are not read
    if (m_buffer.size() < size_t(kBlockSize + m)) m_buffer.resize(size_t(kBlockSize + m));
    if (statted) return readOn(search, file, st, 0, 0, pump);

    char *buffer = m_buffer.data();
    const ssize_t got = readAt(file, buffer, kBlockSize, 0);
    if (got <= 0) return false;
    if (pump) pump();
    if (search.contains(buffer, got)) return true;
    if (got < kBlockSize) return false; // the whole file
    if (::statx(file, "", AT_EMPTY_PATH, m_statxMask, &st) != 0) return false;
    statted = true;
    if (!S_ISREG(st.stx_mode)) return false;
    const qsizetype carry = std::min<qsizetype>(m - 1, got);
    std::memmove(buffer, buffer + got - carry, size_t(carry));
    return readOn(search, file, st, got, carry, pump);
}

bool ContentReader::readOn(const TKvSearch &search, int file, const struct statx &st, qint64 pos,
                           qsizetype carry, const std::function<void()> &pump)
{
    const qsizetype m = search.pattern().size();
    const qint64 size = qint64(st.stx_size);
    char *buffer = m_buffer.data();
    const bool sparse = qint64(st.stx_blocks) * 512 < size && !search.patternHolds(0);
    qint64 runEnd = sparse ? pos : size; // a sparse file looks for its next run first
    qint64 block = kBlockSize;
    while (pos < size) {
        if (sparse && pos >= runEnd) {
            const qint64 before = pos;
            if (!nextDataRun(file, pos, runEnd, size)) return false;
            if (pos != before) carry = 0; // no match spans a hole
        }
        const qint64 want = std::min<qint64>(runEnd - pos, block);
        // Only a block that another follows is timed: it sets the next one's size.
        const bool timed = pos + want < size && block > kSmallestBlock;
        const auto started =
            timed ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point();
        const ssize_t got = readAt(file, buffer + carry, want, pos);
        if (got <= 0) return false;
        pos += got;
        const qsizetype total = carry + got;
        if (pump) pump();
        if (search.contains(buffer, total)) return true;
        if (timed && std::chrono::steady_clock::now() - started > kSlowBlock) block /= 2;
        carry = std::min<qsizetype>(m - 1, total);
        std::memmove(buffer, buffer + total - carry, size_t(carry));
    }
    return false;
}

} // namespace clarivex
