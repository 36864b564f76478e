#pragma once

// The duplicate scan's hash cache: what reading a file told the last scans,
// kept in $XDG_CACHE_HOME/clarivex/hashes.db (else ~/.cache/clarivex/), so a
// rescan of an unchanged tree opens no file at all.
//
// An entry is keyed by device and inode and holds the file's size,
// modification and change time (nanoseconds) as the walk saw them, its
// signature, the hash of its head and tail and, once it was read whole, the
// hash of its whole content. An entry counts only while all five still
// match the walk; anything else (a rewrite with its time put back changes
// the change time, a file replaced under its name has another inode) is
// read again and replaces the entry. A file renamed in place keeps its
// inode and times and so its entry. Files changed within the last moments
// before the walk are not written: a second write within the same clock
// tick would leave both times as they were.
//
// The cache only groups files: the clean still compares every duplicate
// with its master byte for byte right before it acts on it.
//
// The entries are kept packed in chunks (hash_cache_chunks.h), all read at
// once (on a thread of its own while the walk runs); the chunks that hold
// what changed are written in one transaction at the end, and entries
// unseen for kKeepDays days are left out then. Two programs scanning at once
// lose at most each other's new entries, never make a wrong one: the last to
// save a chunk writes it as it knew it. The file is SQLite in
// WAL mode with a busy timeout. A file that is not a sound database, or
// whose reading fails on a damaged page or chunk, is moved aside under a timestamped
// name, never read again, and the scan goes on with an empty cache.

#include "core/scanners/duplicate_signing.h"
#include "core/scanners/hash_cache_table.h"

#include <QString>

#include <atomic>
#include <limits>
#include <vector>

struct sqlite3;

namespace clarivex {

struct HashCacheKey
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds since 1970
    qint64 changed = 0;  // nanoseconds since 1970
    friend bool operator==(const HashCacheKey &, const HashCacheKey &) = default;
};

struct HashCacheEntry
{
    HashCacheKey key;
    ContentHash edges; // head and tail (whole content when no larger than 8 KiB)
    ContentHash whole;
    qint32 signature = 0;
    qint32 seenDay = 0; // days since 1970 when a scan last used it
    bool hasWhole = false;
    bool dirty = false; // to be written
};

class HashCache
{
public:
    static constexpr int kKeepDays = 60;
    static constexpr int kRefreshDays = 7;

    [[nodiscard]] static QString defaultPath();
    explicit HashCache(const QString &path = defaultPath());
    ~HashCache();
    HashCache(const HashCache &) = delete;
    HashCache &operator=(const HashCache &) = delete;

    // Opens the file (making it when missing; a damaged one is moved aside)
    // and reads every entry. Safe on another thread than the one using the
    // cache afterwards, as long as only one uses it at a time.
    void load();
    // Ends a load() running on another thread at its next entry; nothing
    // loaded is used.
    void cancelLoad() { m_cancel.store(true, std::memory_order_relaxed); }
    [[nodiscard]] bool isOpen() const { return m_db != nullptr; }
    [[nodiscard]] QString movedAsidePath() const { return m_movedAside; }
    [[nodiscard]] QString error() const { return m_error; }

    // The entry of the file `key` describes, while it still describes it
    // (marked as seen when last marked over kRefreshDays ago); else null. A
    // put may move entries: use what it points to before the next put.
    [[nodiscard]] HashCacheEntry *find(const HashCacheKey &key);
    // The same without marking it seen or counting a hit: safe on several
    // threads at once while nothing is put. `stale` tells whether find()
    // would mark it.
    [[nodiscard]] const HashCacheEntry *peek(const HashCacheKey &key, bool &stale) const;
    // Records what a scan read of a file (replacing an older entry). Files
    // changed at or after `racyFrom` (nanoseconds) are left out.
    void putEdges(const HashCacheKey &key, qint32 signature, const ContentHash &edges);
    void putWhole(const HashCacheKey &key, const ContentHash &whole);

    // Writes what changed and removes the entries unseen for kKeepDays, in
    // one transaction. False when it could not be written (the cache is
    // only lost, nothing else).
    bool save();

    // Files whose change time is at or after this are not written (set to
    // the walk's start less a few seconds by the scan).
    qint64 racyFrom = std::numeric_limits<qint64>::max();
    // Today, in days since 1970 (tests move it).
    qint32 today = 0;

    [[nodiscard]] size_t size() const { return m_entries.size(); }
    qint64 hits = 0; // entries found still valid

private:
    void open();
    bool readAll();
    int readChunks();
    int readRows();
    void moveAside();
    void close();

    QString m_path;
    QString m_error;
    QString m_movedAside;
    sqlite3 *m_db = nullptr;
    bool m_rows = false;         // a file of the first layout, a row per entry
    bool m_damagedChunk = false; // found by the last readAll()
    HashCacheTable<HashCacheEntry> m_entries;
    std::atomic<bool> m_cancel{false};
};

} // namespace clarivex
