#pragma once

// How the hash cache keeps its entries on disk: packed, a fixed-size record
// each, in kChunkCount chunks chosen by device and inode, one table row
// per chunk. Reading a few hundred thousand entries is then a few hundred
// blob reads and copies rather than a query step per entry, and a rescan
// that changed a few files writes back only the chunks that hold them.
//
// Each chunk carries a checksum of its bytes. A chunk whose size, checksum
// or records do not hold up is damage: the whole file is then moved aside,
// as for a damaged page.

#include "core/scanners/duplicate_signing.h"

#include <QByteArray>

#include <cstddef>
#include <vector>

namespace clarivex {

struct HashCacheEntry;

namespace hash_cache_chunks {

constexpr int kChunkCount = 256;
constexpr size_t kRecordSize = 88;

// The chunk an entry of this device and inode lives in: the top bits of its
// key's hash, which also place it in the table in memory, so a chunk loads
// into one stretch of the table. The same on every machine and in every
// version that reads this layout.
[[nodiscard]] int chunkOf(quint64 device, quint64 inode);

// The entries as one chunk's bytes, and the checksum stored beside them.
[[nodiscard]] QByteArray pack(const std::vector<const HashCacheEntry *> &entries);
[[nodiscard]] qint64 checksum(const char *bytes, size_t size);

// Whether a chunk's bytes are sound: whole records, the checksum stored
// beside them, every record of chunk `chunk` and in this layout.
[[nodiscard]] bool isSound(int chunk, const char *bytes, size_t size, qint64 sum);
// The record at `index` of sound bytes.
[[nodiscard]] HashCacheEntry entryAt(const char *bytes, size_t index);

} // namespace hash_cache_chunks
} // namespace clarivex
