#include "core/scanners/hash_cache.h"

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
constexpr int kSchemaVersion = 1;

const char *const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS hashes(
    device INTEGER NOT NULL,
    inode INTEGER NOT NULL,
    size INTEGER NOT NULL,
    modified INTEGER NOT NULL,
    changed INTEGER NOT NULL,
    signature INTEGER NOT NULL,
    edges BLOB NOT NULL,
    whole BLOB,
    seen INTEGER NOT NULL,
    PRIMARY KEY(device, inode)) WITHOUT ROWID;
)sql";

QByteArray hashBytes(const ContentHash &hash)
{
    QByteArray bytes(16, Qt::Uninitialized);
    std::memcpy(bytes.data(), &hash.low, 8);
    std::memcpy(bytes.data() + 8, &hash.high, 8);
    return bytes;
}

bool hashFrom(sqlite3_stmt *row, int column, ContentHash &hash)
{
    if (sqlite3_column_type(row, column) != SQLITE_BLOB || sqlite3_column_bytes(row, column) != 16)
        return false;
    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(row, column));
    std::memcpy(&hash.low, bytes, 8);
    std::memcpy(&hash.high, bytes + 8, 8);
    return true;
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
        // A damaged page among the entries: nothing read from it is used.
        m_entries.clear();
        if (isDatabaseDamage(RegistryStatement::lastStepFailure())) {
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
        if (rc == SQLITE_OK) {
            qint64 found = 0;
            {
                RegistryStatement version(m_db, "PRAGMA user_version");
                if (version.next())
                    found = version.integer(0);
                else
                    rc = version.code();
            }
            // Made by another version: start it anew.
            if (rc == SQLITE_OK && found != 0 && found != kSchemaVersion)
                rc = sqlite3_exec(m_db, "DROP TABLE IF EXISTS hashes", nullptr, nullptr, nullptr);
        }
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr,
                              nullptr, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
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
    // About 70 bytes an entry on disk: room for them all at once.
    struct stat file
    {
    };
    if (::stat(QFile::encodeName(m_path).constData(), &file) == 0)
        m_entries.reserve(size_t(file.st_size / 64));
    sqlite3_stmt *row = nullptr;
    int rc = sqlite3_prepare_v2(m_db,
                                "SELECT device, inode, size, modified, changed, signature, edges, "
                                "whole, seen FROM hashes",
                                -1, &row, nullptr);
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        if (m_cancel.load(std::memory_order_relaxed)) {
            rc = SQLITE_INTERRUPT;
            break;
        }
        rc = sqlite3_step(row);
        if (rc != SQLITE_ROW) break;
        HashCacheEntry entry;
        entry.key.device = quint64(sqlite3_column_int64(row, 0));
        entry.key.inode = quint64(sqlite3_column_int64(row, 1));
        entry.key.size = sqlite3_column_int64(row, 2);
        entry.key.modified = sqlite3_column_int64(row, 3);
        entry.key.changed = sqlite3_column_int64(row, 4);
        entry.signature = qint32(sqlite3_column_int64(row, 5));
        entry.seenDay = qint32(sqlite3_column_int64(row, 8));
        if (!hashFrom(row, 6, entry.edges)) continue; // not one this program wrote
        entry.hasWhole = hashFrom(row, 7, entry.whole);
        m_entries.insert(entry.key.device, entry.key.inode) = entry;
    }
    sqlite3_finalize(row);
    if (rc == SQLITE_DONE) return true;
    RegistryStatement::noteFailure(rc);
    m_error = QStringLiteral("%1: %2").arg(m_path, QString::fromUtf8(sqlite3_errstr(rc)));
    return false;
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
    // In key order: appended to the table's tree rather than scattered over it.
    std::vector<const HashCacheEntry *> dirty;
    for (const HashCacheEntry &entry : m_entries.entries()) {
        if (entry.dirty) dirty.push_back(&entry);
    }
    if (dirty.empty()) return true;
    std::sort(dirty.begin(), dirty.end(), [](const HashCacheEntry *a, const HashCacheEntry *b) {
        return qint64(a->key.device) != qint64(b->key.device)
                   ? qint64(a->key.device) < qint64(b->key.device)
                   : qint64(a->key.inode) < qint64(b->key.inode);
    });
    RegistryStatement::resetStepFailure();
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
    bool ok = true;
    {
        RegistryStatement insert(m_db, "INSERT OR REPLACE INTO hashes(device, inode, size, "
                                       "modified, changed, signature, edges, whole, seen) "
                                       "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)");
        for (const HashCacheEntry *dirtyEntry : dirty) {
            const HashCacheEntry &entry = *dirtyEntry;
            insert.bind(1, qint64(entry.key.device))
                .bind(2, qint64(entry.key.inode))
                .bind(3, entry.key.size)
                .bind(4, entry.key.modified)
                .bind(5, entry.key.changed)
                .bind(6, qint64(entry.signature))
                .bindBlob(7, hashBytes(entry.edges))
                .bind(9, qint64(entry.seenDay));
            if (entry.hasWhole)
                insert.bindBlob(8, hashBytes(entry.whole));
            else
                insert.bindNull(8);
            if (!insert.run()) {
                ok = false;
                break;
            }
        }
        RegistryStatement prune(m_db, "DELETE FROM hashes WHERE seen < ?");
        ok = ok && prune.bind(1, qint64(today - kKeepDays)).run();
    }
    if (ok && sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
        for (HashCacheEntry &entry : m_entries.entries())
            entry.dirty = false;
        return true;
    }
    const int failure = RegistryStatement::lastStepFailure();
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (isDatabaseDamage(failure)) moveAside(); // found damaged while writing: never read again
    return false;
}

} // namespace clarivex
