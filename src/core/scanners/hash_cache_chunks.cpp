#include "core/scanners/hash_cache_chunks.h"

#include "core/scanners/hash_cache.h"
#include "core/scanners/hash_cache_table.h"

#include <xxhash.h>

#include <cstring>

namespace clarivex::hash_cache_chunks {

namespace {

// Native byte order: the file never leaves the machine that wrote it.
struct Record
{
    quint64 device;
    quint64 inode;
    qint64 size;
    qint64 modified;
    qint64 changed;
    qint32 signature;
    qint32 seenDay;
    quint64 edgesLow;
    quint64 edgesHigh;
    quint64 wholeLow;
    quint64 wholeHigh;
    quint32 flags;
    quint32 unused;
};
static_assert(sizeof(Record) == kRecordSize);

constexpr quint32 kHasWhole = 1;

} // namespace

int chunkOf(quint64 device, quint64 inode)
{
    static_assert(kChunkCount == 256); // the hash's top eight bits
    return int(keyHash(device, inode) >> 56);
}

qint64 checksum(const char *bytes, size_t size)
{
    return qint64(XXH3_64bits(bytes, size));
}

QByteArray pack(const std::vector<const HashCacheEntry *> &entries)
{
    QByteArray bytes(qsizetype(entries.size() * kRecordSize), Qt::Uninitialized);
    char *at = bytes.data();
    for (const HashCacheEntry *entry : entries) {
        const Record record{entry->key.device,
                            entry->key.inode,
                            entry->key.size,
                            entry->key.modified,
                            entry->key.changed,
                            entry->signature,
                            entry->seenDay,
                            entry->edges.low,
                            entry->edges.high,
                            entry->whole.low,
                            entry->whole.high,
                            entry->hasWhole ? kHasWhole : 0,
                            0};
        std::memcpy(at, &record, kRecordSize);
        at += kRecordSize;
    }
    return bytes;
}

bool isSound(int chunk, const char *bytes, size_t size, qint64 sum)
{
    if (size % kRecordSize != 0 || checksum(bytes, size) != sum) return false;
    for (size_t at = 0; at < size; at += kRecordSize) {
        Record record;
        std::memcpy(&record, bytes + at, kRecordSize);
        if ((record.flags & ~kHasWhole) != 0 || record.unused != 0 ||
            chunkOf(record.device, record.inode) != chunk)
            return false;
    }
    return true;
}

HashCacheEntry entryAt(const char *bytes, size_t index)
{
    Record record;
    std::memcpy(&record, bytes + index * kRecordSize, kRecordSize);
    HashCacheEntry entry;
    entry.key = {record.device, record.inode, record.size, record.modified, record.changed};
    entry.signature = record.signature;
    entry.seenDay = record.seenDay;
    entry.edges = {record.edgesLow, record.edgesHigh};
    entry.hasWhole = (record.flags & kHasWhole) != 0;
    if (entry.hasWhole) entry.whole = {record.wholeLow, record.wholeHigh};
    return entry;
}

} // namespace clarivex::hash_cache_chunks
