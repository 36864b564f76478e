#include "core/scanners/duplicate_signing.h"

#include "core/scanners/duplicate_pool.h"

#include <xxhash.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>

namespace clarivex {

namespace {

constexpr qint64 kEdge = kSignedEdge;
constexpr qsizetype kHashBlock = 1024 * 1024; // one read when hashing whole files

// What opening one candidate needs, copied out of the candidates so that the
// files are walked in folder order through memory read in order too.
struct Job
{
    quint64 nameOffset;
    qint64 size;
    quint32 folder;
    quint32 index; // into the candidates
    quint16 nameLength;
};

ContentHash toHash(XXH128_hash_t hash)
{
    return {hash.low64, hash.high64};
}

// The wrapping sum of the first size/4 (at most 128) little-endian words.
qint32 wordSum(const unsigned char *head, qint64 size)
{
    const qint64 words = std::min<qint64>(size / 4, 128);
    quint32 sum = 0;
    for (qint64 i = 0; i < words; ++i) {
        const unsigned char *w = head + i * 4;
        sum += quint32(w[0]) | quint32(w[1]) << 8 | quint32(w[2]) << 16 | quint32(w[3]) << 24;
    }
    return qint32(sum & 0x7FFFFFFF);
}

// Head and tail of an open file into `entry`; false when it cannot be read.
bool signContent(const CandidateFile &file, qint64 size, SignedCandidate &entry)
{
    unsigned char buffer[2 * kEdge];
    char *const bytes = reinterpret_cast<char *>(buffer);
    if (edgesCoverWhole(size)) {
        if (readFully(file.fd(), bytes, size, 0) != size) return false;
        entry.hash = toHash(XXH3_128bits(buffer, size_t(size)));
        entry.whole = true;
    } else {
        if (readFully(file.fd(), bytes, kEdge, 0) != kEdge ||
            readFully(file.fd(), bytes + kEdge, kEdge, size - kEdge) != kEdge)
            return false;
        entry.hash = toHash(XXH3_128bits(buffer, size_t(2 * kEdge)));
    }
    entry.signature = wordSum(buffer, size);
    return true;
}

void signFolder(const DuplicateCollector &collector, const Job *first, const Job *last,
                bool byDateTime, std::vector<SignedCandidate> &out, const std::atomic<bool> &stop)
{
    const int folderFd = ::open(collector.CandidateFolders[first->folder].constData(),
                                O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) return; // the folder went away: so did its files
    const QByteArrayView names = collector.names();
    std::string name;
    for (const Job *job = first; job != last && !stop.load(std::memory_order_relaxed); ++job) {
        name.assign(names.data() + job->nameOffset, job->nameLength);
        const CandidateFile file(folderFd, name.c_str(), job->size);
        if (!file.isOpen()) continue; // vanished, changed or no longer a file
        SignedCandidate entry;
        entry.identity = file.identity();
        if (byDateTime) {
            entry.signature =
                job->size == 0 ? 0 : qint32(dosDateTime(file.modifiedSeconds()) & 0x7FFFFFFF);
        } else if (job->size > 0 && !signContent(file, job->size, entry)) {
            continue;
        }
        if (job->size == 0) entry.whole = true; // nothing to read
        entry.ok = true;
        out[job->index] = entry;
    }
    ::close(folderFd);
}

// The whole content's hash; false when a read fails, comes up short or is
// stopped.
bool hashWhole(const CandidateFile &file, qint64 size, ContentHash &hash,
               std::atomic<qint64> &bytes, const std::atomic<bool> &stop)
{
    thread_local std::unique_ptr<char[]> buffer;
    if (!buffer) buffer = std::make_unique<char[]>(size_t(kHashBlock));
    XXH3_state_t *const state = XXH3_createState();
    if (!state) return false;
    XXH3_128bits_reset(state);
    (void)::posix_fadvise(file.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    bool ok = true;
    for (qint64 offset = 0; offset < size; offset += kHashBlock) {
        if (stop.load(std::memory_order_relaxed)) {
            ok = false;
            break;
        }
        const qsizetype length = qsizetype(std::min<qint64>(kHashBlock, size - offset));
        if (readFully(file.fd(), buffer.get(), length, offset) != length) {
            ok = false;
            break;
        }
        XXH3_128bits_update(state, buffer.get(), size_t(length));
        bytes.fetch_add(length, std::memory_order_relaxed);
    }
    if (ok) {
        // Grown since: not the file that was signed.
        char extra;
        ok = readFully(file.fd(), &extra, 1, size) == 0;
    }
    if (ok) hash = toHash(XXH3_128bits_digest(state));
    XXH3_freeState(state);
    return ok;
}

} // namespace

void signCandidates(const DuplicateCollector &collector, const std::vector<quint32> &indices,
                    bool byDateTime, std::vector<SignedCandidate> &out,
                    const std::function<bool(qint64 done)> &keepGoing)
{
    const std::vector<Candidate> &keys = collector.CandidateKeys;
    std::vector<Job> order;
    order.reserve(indices.size());
    for (const quint32 index : indices) {
        const Candidate &c = keys[index];
        order.push_back({c.nameOffset, c.size, c.folder, index, c.nameLength});
    }
    // Folders were entered in walk order and the names stored in it.
    std::sort(order.begin(), order.end(), [](const Job &a, const Job &b) {
        return a.folder != b.folder ? a.folder < b.folder : a.nameOffset < b.nameOffset;
    });
    std::vector<size_t> folderStarts;
    for (size_t k = 0; k < order.size(); ++k) {
        if (k == 0 || order[k].folder != order[k - 1].folder) folderStarts.push_back(k);
    }
    folderStarts.push_back(order.size());
    const size_t folders = folderStarts.size() - 1;
    PoolWork work;
    work.batch = 8;
    work.item = [&](size_t i, const std::atomic<bool> &stop) {
        signFolder(collector, order.data() + folderStarts[i], order.data() + folderStarts[i + 1],
                   byDateTime, out, stop);
    };
    (void)runOnPool(folders, work, [&](qint64 doneFolders) {
        const size_t at = std::min(size_t(doneFolders), folders);
        return !keepGoing || keepGoing(qint64(folderStarts[at]));
    });
}

void hashCandidates(const DuplicateCollector &collector, std::vector<quint32> indices,
                    std::vector<SignedCandidate> &out,
                    const std::function<bool(qint64 bytes)> &keepGoing)
{
    // In inode order: on most file systems close to the order on the disk.
    std::sort(indices.begin(), indices.end(), [&](quint32 a, quint32 b) {
        const FileIdentity &x = out[a].identity;
        const FileIdentity &y = out[b].identity;
        return x.device != y.device ? x.device < y.device : x.inode < y.inode;
    });
    std::atomic<qint64> bytes{0};
    PoolWork work;
    work.batch = 1;
    work.item = [&](size_t i, const std::atomic<bool> &stop) {
        SignedCandidate &entry = out[indices[i]];
        const Candidate &c = collector.CandidateKeys[indices[i]];
        const CandidateFile file(collector.pathOf(c), c.size);
        ContentHash hash;
        if (!file.isOpen() || !(file.identity() == entry.identity) ||
            !hashWhole(file, c.size, hash, bytes, stop)) {
            if (!stop.load()) entry.ok = false;
            return;
        }
        entry.hash = hash;
        entry.whole = true;
    };
    (void)runOnPool(indices.size(), work,
                    [&](qint64) { return !keepGoing || keepGoing(bytes.load()); });
}

} // namespace clarivex
