#pragma once

// The reading steps of comparing by size, each on a pool of threads sized to
// the machine (see duplicate_pool.h):
//
//   sign:  every candidate of a run of two or more is opened once, folder by
//          folder (each name looked up in its open folder): identity (device,
//          inode), signature, and a 128-bit XXH3 hash of its first and last
//          4 KiB (of the whole file when it is no larger than 8 KiB);
//   hash:  the files that still share size, signature and that short hash
//          with another file are hashed whole (XXH3-128), read in large
//          sequential blocks in inode order.
//
// Files that share their whole-content hash are listed as one set. The clean
// compares a duplicate with its master byte for byte before it acts on it
// (duplicate_recheck.h), so a hash never decides alone what leaves the disk.

#include "core/scanners/duplicate_collect.h"
#include "core/scanners/file_signature.h"

#include <functional>
#include <vector>

namespace clarivex {

struct ContentHash
{
    quint64 low = 0;
    quint64 high = 0;
    friend bool operator==(const ContentHash &, const ContentHash &) = default;
    friend auto operator<=>(const ContentHash &, const ContentHash &) = default;
};

struct SignedCandidate
{
    FileIdentity identity;
    ContentHash hash; // of the head and tail; of the whole content once `whole`
    qint32 signature = 0;
    bool ok = false;    // opened as a regular file of its size
    bool whole = false; // `hash` covers every byte
};

// Bytes read at each end of a file when it is signed; a file of no more than
// twice that is hashed whole at once.
constexpr qint64 kSignedEdge = 4096;
[[nodiscard]] constexpr bool edgesCoverWhole(qint64 size)
{
    return size <= 2 * kSignedEdge;
}

// Signs the candidates `indices` lists (indices into the collector's
// candidates) into `out` (one entry per candidate, already sized). With
// `byDateTime` the signature is the file's time and nothing is read. Only
// the calling thread calls `keepGoing`, with the number of files signed so
// far, every few milliseconds; false stops the signing (the rest stays
// unsigned).
void signCandidates(const DuplicateCollector &collector, const std::vector<quint32> &indices,
                    bool byDateTime, std::vector<SignedCandidate> &out,
                    const std::function<bool(qint64 done)> &keepGoing);

// Hashes the whole content of the candidates `indices` lists (signed ones)
// into `out`: `whole` set on success; a file that is no longer the one signed
// (identity, size) or cannot be read loses `ok`. `keepGoing` as above, with
// the bytes hashed so far.
void hashCandidates(const DuplicateCollector &collector, std::vector<quint32> indices,
                    std::vector<SignedCandidate> &out,
                    const std::function<bool(qint64 bytes)> &keepGoing);

} // namespace clarivex
