#pragma once

// Compare, the second phase of the duplicate scan.
//
//   candidates sorted by key ──> runs of one key
//     ──> every file of a run of two or more opened once, folder by folder
//         (one open folder, each name looked up in it), on a pool of threads:
//         identity (device, inode), signature and a hash of its first and
//         last 4 KiB
//     ──> files still alike (size, signature, that hash, and name with
//         "Require same name") hashed whole (XXH3-128), in inode order
//     ──> runs walked from the largest: sub-runs of one signature (and one
//         name with "Require same name")
//     ──> sets: each file joins the first set whose master has its content
//         hash, or starts a set of its own
//     ──> every set of two or more: separator, master, duplicates
//
// The clean compares each duplicate with its master byte for byte right
// before it acts on it, so a set is never cleaned on the strength of the
// hash alone.
//
// A file reached by two paths (hard link, bind mount) counts once: the later
// path is dropped, so one file is never listed as a duplicate of itself.
// Files that changed size, vanished or turned into something else than a
// regular file since they were collected are left out. Keyed by name alone
// ("Require same size" off), files are duplicates by name without being read.

#include "core/scanners/duplicate_collect.h"
#include "core/scanners/duplicate_signing.h"
#include "core/scanners/hash_cache.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <vector>

namespace clarivex {

class DuplicateCompare
{
public:
    // Status panel 0 or 1.
    std::function<void(int panel, const QString &text)> status;
    // Keeps the window alive; called before every file and block.
    std::function<void()> pump;
    // Now and then: how far the comparison is, in candidates (signing the
    // files counts for the first half, walking the runs for the second).
    std::function<void(qint64 walked)> progress;
    std::function<void()> addSeparator;
    // A row of set `set` (from 1): the file `file.name` of `folder` (with a
    // trailing "/"), as the walk saw it a moment ago (its identity and
    // times); false when it could not be listed. `folderIndex` numbers the
    // folders of one comparison (the same folder, the same number).
    std::function<bool(const QByteArray &folder, quint32 folderIndex, const TFindData &file,
                       bool master, int set)>
        addRow;

    // Walks and consumes the collector's candidates while *scanContinue.
    void run(DuplicateCollector &collector, const DuplicateScanOptions &options,
             const bool *scanContinue);

    // Hashes kept from earlier scans (none: every file is read). Files whose
    // entry still matches are not opened; what is read is put into it.
    HashCache *cache = nullptr;

    qint64 FoundFileCount = 0;
    qint64 FoundByteTotal = 0;
    int SetCount = 0;
    qint64 SignedFromCache = 0; // files not opened: their entry still held
    qint64 WholeFromCache = 0;  // whole-content hashes taken from the cache

private:
    struct Member;
    bool listMember(const Member &member, bool master);
    // Whether the run [first, last) is compared at all.
    [[nodiscard]] bool comparable(const Candidate *first, const Candidate *last) const;
    // Opens every file of the comparable runs once, in folder order.
    void signAll(const DuplicateCollector &collector);
    // Fills `out` from the cache when its entry still describes the file.
    // Signs from the cache what it still knows of the candidates `order`
    // names, leaving in `order` only the candidates still to be read.
    void signFromCache(const std::vector<Candidate> &keys, std::vector<quint32> &order);
    // Reads whole the files that may still equal another one.
    void hashAll(const DuplicateCollector &collector);
    // By size, the runs are split into sets on the pool (they only read what
    // the signing left), then listed in order on the calling thread.
    struct PlannedGroup;
    void compareAllBySize(const DuplicateCollector &collector);
    // False when `stop` ended it first.
    bool planBySize(const DuplicateCollector &collector, PlannedGroup &group,
                    const std::atomic<bool> &stop) const;
    void compareByName(const DuplicateCollector &collector, const Candidate *first,
                       const Candidate *last);
    // Splits files of one signature by name (with "Require same name"), then
    // each part into sets.
    void splitByName(std::vector<Member> &members, PlannedGroup &group) const;
    // Splits one sub-run (equal signature) into sets, kept for listing.
    void splitIntoSets(std::vector<Member> &members, qsizetype begin, qsizetype end,
                       PlannedGroup &group) const;
    void listSet(const std::vector<const Member *> &set, qint64 size, bool countBytes);
    [[nodiscard]] bool keepGoing() const;
    void setStatus(int panel, const QString &text) const;

    std::vector<SignedCandidate> m_signed; // by index into the candidates
    const bool *m_continue = nullptr;
    bool m_phases = false; // master phase used: only sets with a master file count
    bool m_checkName = true;
    const DuplicateCollector *m_collector = nullptr; // while run() lists sets
    bool m_byDateTime = true;
};

} // namespace clarivex
