#pragma once

// The first step of comparing by size: every candidate of a run of two or
// more is opened once for its identity (device, inode) and signature. The
// files are opened folder by folder, each name looked up in its open folder
// rather than walked from the root, and with more than one core the list is
// split at a folder between the calling thread and one helper thread.

#include "core/scanners/duplicate_collect.h"
#include "core/scanners/file_signature.h"

#include <functional>
#include <vector>

namespace clarivex {

struct SignedCandidate
{
    FileIdentity identity;
    qint32 signature = 0;
    bool ok = false; // opened as a regular file of its size
};

// Signs the candidates `indices` lists (indices into the collector's
// candidates) into `out` (one entry per candidate, already sized). Only the
// calling thread calls `keepGoing`, with the number of files signed so far,
// every few files; false stops the signing (the rest stays unsigned).
void signCandidates(const DuplicateCollector &collector, const std::vector<quint32> &indices,
                    bool byDateTime, std::vector<SignedCandidate> &out,
                    const std::function<bool(qint64 done)> &keepGoing);

} // namespace clarivex
