#include "core/scanners/hash_cache.h"

#include "core/scanners/hash_cache_chunks.h"
#include "core/shell/database_file.h"
#include "core/shell/registry_statement.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace clarivex {

namespace {

// A scan waits this long for another program writing the cache, then goes
// on without it.
constexpr int kBusyTimeoutMs = 2000;
constexpr int kSchemaVersion = 2;
// Version 1 kept a row per entry; its entries are read once and written
// back as chunks.
constexpr int kRowsSchemaVersion = 1;

const char *const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS chunks(
    chunk INTEGER PRIMARY KEY,
    entries BLOB NOT NULL,
    checksum INTEGER NOT NULL);
)sql";

bool hashFrom(sqlite3_stmt *row, int column, ContentHash &hash)
{
    if (sqlite3_column_type(row, column) != SQLITE_BLOB || sqlite3_column_bytes(row, column) != 16)
        return false;
    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(row, column));
    std::memcpy(&hash.low, bytes, 8);
    std::memcpy(&hash.high, bytes + 8, 8);
    return true;
}

// Steps through what `row` selects, handing each result to `take` (false:
// the entries are damaged); SQLITE_DONE once all were taken.
template <typename Take>
int eachRow(sqlite3_stmt *row, int rc, const std::atomic<bool> &cancel, Take &&take)
{
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        if (cancel.load(std::memory_order_relaxed)) return SQLITE_INTERRUPT;
        rc = sqlite3_step(row);
        if (rc != SQLITE_ROW) break;
        if (!take(row)) return SQLITE_CORRUPT;
    }
    return rc;
}

} // namespace

QString HashCache::defaultPath()
{
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !cache.startsWith(QLatin1Char('/')))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    return cache + QStringLiteral("/clarivex/hashes.db");
}

HashCache::HashCache(const QString &path) : m_path(path)
{
    today = qint32(QDateTime::currentSecsSinceEpoch() / 86400);
}

HashCache::~HashCache()
{
    close();
}

void HashCache::close()
{
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void HashCache::load()
{
    m_entries.clear();
    open();
    if (m_db && !readAll()) {
        // A damaged page or chunk among the entries: nothing read from it is used.
        m_entries.clear();
        if (m_damagedChunk || isDatabaseDamage(RegistryStatement::lastStepFailure())) {
            moveAside();
            open();
        } else {
            close();
        }
    }
}

void HashCache::open()
{
    close();
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("cannot create %1").arg(folder);
        return;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        int rc = openPrivateDatabase(m_path, &m_db, kBusyTimeoutMs, true);
        m_rows = false;
        if (rc == SQLITE_OK) {
            qint64 found = 0;
            {
                RegistryStatement version(m_db, "PRAGMA user_version");
                if (version.next())
                    found = version.integer(0);
                else
                    rc = version.code();
            }
            m_rows = found == kRowsSchemaVersion;
            // Made by another version: start it anew.
            if (rc == SQLITE_OK && found != 0 && found != kSchemaVersion && !m_rows)
                rc = sqlite3_exec(m_db, "DROP TABLE IF EXISTS hashes; DROP TABLE IF EXISTS chunks",
                                  nullptr, nullptr, nullptr);
        }
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr,
                              nullptr, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr);
        // The version changes with the rows' conversion, in save().
        if (rc == SQLITE_OK && !m_rows)
            rc = sqlite3_exec(
                m_db,
                QByteArray("PRAGMA user_version=" + QByteArray::number(kSchemaVersion)).constData(),
                nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) return;
        m_error = QStringLiteral("%1: %2").arg(m_path, QString::fromUtf8(sqlite3_errstr(rc)));
        close();
        if (!isDatabaseDamage(rc) || attempt > 0) return;
        moveAside();
    }
}

bool HashCache::readAll()
{
    RegistryStatement::resetStepFailure();
    m_damagedChunk = false;
    struct stat file
    {
    };
    if (::stat(QFile::encodeName(m_path).constData(), &file) == 0)
        m_entries.reserve(size_t(file.st_size) / hash_cache_chunks::kRecordSize);
    int rc = readChunks();
    if (rc == SQLITE_DONE && m_rows) rc = readRows();
    if (rc == SQLITE_DONE) return true;
    if (!m_damagedChunk) RegistryStatement::noteFailure(rc);
    m_error = m_damagedChunk
                  ? QStringLiteral("%1: a damaged chunk").arg(m_path)
                  : QStringLiteral("%1: %2").arg(m_path, QString::fromUtf8(sqlite3_errstr(rc)));
    return false;
}

int HashCache::readChunks()
{
    sqlite3_stmt *row = nullptr;
    int rc =
        sqlite3_prepare_v2(m_db, "SELECT chunk, entries, checksum FROM chunks", -1, &row, nullptr);
    rc = eachRow(row, rc, m_cancel, [this](sqlite3_stmt *found) {
        const qint64 chunk = sqlite3_column_int64(found, 0);
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(found, 1));
        const auto size = size_t(sqlite3_column_bytes(found, 1));
        if (chunk < 0 || chunk >= hash_cache_chunks::kChunkCount ||
            sqlite3_column_type(found, 1) != SQLITE_BLOB ||
            !hash_cache_chunks::isSound(int(chunk), bytes, size, sqlite3_column_int64(found, 2))) {
            m_damagedChunk = true;
            return false;
        }
        for (size_t i = 0; i < size / hash_cache_chunks::kRecordSize; ++i) {
            const HashCacheEntry entry = hash_cache_chunks::entryAt(bytes, i);
            m_entries.insert(entry.key.device, entry.key.inode) = entry;
        }
        return true;
    });
    sqlite3_finalize(row);
    return rc;
}

// The rows of the first layout, each to be written again as part of a chunk.
int HashCache::readRows()
{
    sqlite3_stmt *row = nullptr;
    int rc = sqlite3_prepare_v2(m_db,
                                "SELECT device, inode, size, modified, changed, signature, edges, "
                                "whole, seen FROM hashes",
                                -1, &row, nullptr);
    if (rc == SQLITE_ERROR && !row) return SQLITE_DONE; // no such table: nothing to convert
    rc = eachRow(row, rc, m_cancel, [this](sqlite3_stmt *found) {
        HashCacheEntry entry;
        entry.key.device = quint64(sqlite3_column_int64(found, 0));
        entry.key.inode = quint64(sqlite3_column_int64(found, 1));
        entry.key.size = sqlite3_column_int64(found, 2);
        entry.key.modified = sqlite3_column_int64(found, 3);
        entry.key.changed = sqlite3_column_int64(found, 4);
        entry.signature = qint32(sqlite3_column_int64(found, 5));
        entry.seenDay = qint32(sqlite3_column_int64(found, 8));
        if (!hashFrom(found, 6, entry.edges)) return true; // not one this program wrote
        entry.hasWhole = hashFrom(found, 7, entry.whole);
        entry.dirty = true;
        m_entries.insert(entry.key.device, entry.key.inode) = entry;
        return true;
    });
    sqlite3_finalize(row);
    return rc;
}

void HashCache::moveAside()
{
    close();
    const QString target = moveDamagedDatabaseAside(m_path);
    if (!target.isEmpty()) m_movedAside = target;
}

HashCacheEntry *HashCache::find(const HashCacheKey &key)
{
    bool stale = false;
    auto *const entry = const_cast<HashCacheEntry *>(peek(key, stale));
    if (!entry) return nullptr;
    // Written again once a week at most: an unchanged tree costs no write,
    // and an entry still goes within kKeepDays of its last use.
    if (stale) {
        entry->seenDay = today;
        entry->dirty = true;
    }
    ++hits;
    return entry;
}

const HashCacheEntry *HashCache::peek(const HashCacheKey &key, bool &stale) const
{
    const HashCacheEntry *const found = m_entries.find(key.device, key.inode);
    if (!found || !(found->key == key)) return nullptr;
    stale = found->seenDay < today - kRefreshDays;
    return found;
}

void HashCache::putEdges(const HashCacheKey &key, qint32 signature, const ContentHash &edges)
{
    if (key.changed >= racyFrom || key.modified >= racyFrom) return;
    HashCacheEntry &entry = m_entries.insert(key.device, key.inode);
    if (entry.key == key && entry.edges == edges && entry.signature == signature) return;
    entry = HashCacheEntry{};
    entry.key = key;
    entry.signature = signature;
    entry.edges = edges;
    entry.seenDay = today;
    entry.dirty = true;
}

void HashCache::putWhole(const HashCacheKey &key, const ContentHash &whole)
{
    HashCacheEntry *const found = m_entries.find(key.device, key.inode);
    if (!found || !(found->key == key)) return; // edges never stored
    found->whole = whole;
    found->hasWhole = true;
    found->dirty = true;
}

bool HashCache::save()
{
    if (!m_db) return false;
    // A chunk is written again when one of its entries changed or went
    // unseen too long; the others stay as they are.
    using hash_cache_chunks::chunkOf;
    const qint32 keepFrom = today - kKeepDays;
    std::vector<bool> rewrite(hash_cache_chunks::kChunkCount, false);
    bool any = m_rows;
    for (const HashCacheEntry &entry : m_entries.entries()) {
        if (entry.dirty || entry.seenDay < keepFrom) {
            rewrite[size_t(chunkOf(entry.key.device, entry.key.inode))] = true;
            any = true;
        }
    }
    if (!any) return true;
    std::vector<std::vector<const HashCacheEntry *>> chunks(hash_cache_chunks::kChunkCount);
    for (const HashCacheEntry &entry : m_entries.entries()) {
        const size_t chunk = size_t(chunkOf(entry.key.device, entry.key.inode));
        if (rewrite[chunk] && entry.seenDay >= keepFrom) chunks[chunk].push_back(&entry);
    }
    RegistryStatement::resetStepFailure();
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
    bool ok = true;
    {
        RegistryStatement put(m_db, "INSERT OR REPLACE INTO chunks(chunk, entries, checksum) "
                                    "VALUES(?, ?, ?)");
        RegistryStatement drop(m_db, "DELETE FROM chunks WHERE chunk = ?");
        for (size_t chunk = 0; ok && chunk < chunks.size(); ++chunk) {
            if (!rewrite[chunk]) continue;
            if (chunks[chunk].empty()) {
                ok = drop.bind(1, qint64(chunk)).run();
                continue;
            }
            const QByteArray bytes = hash_cache_chunks::pack(chunks[chunk]);
            ok = put.bind(1, qint64(chunk))
                     .bindBlob(2, bytes)
                     .bind(3, hash_cache_chunks::checksum(bytes.constData(), size_t(bytes.size())))
                     .run();
        }
    }
    if (ok && m_rows) {
        const QByteArray version = "DROP TABLE IF EXISTS hashes; PRAGMA user_version=" +
                                   QByteArray::number(kSchemaVersion);
        ok = sqlite3_exec(m_db, version.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    if (ok && sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
        for (HashCacheEntry &entry : m_entries.entries())
            entry.dirty = false;
        // The rows' pages are free now: given back once, not kept for good.
        if (m_rows) (void)sqlite3_exec(m_db, "VACUUM", nullptr, nullptr, nullptr);
        m_rows = false;
        return true;
    }
    const int failure = RegistryStatement::lastStepFailure();
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (isDatabaseDamage(failure)) moveAside(); // found damaged while writing: never read again
    return false;
}

} // namespace clarivex
