// The settings database's keys and values: lookups, writes in one immediate
// transaction each, and deletes of whole subtrees at any depth.

#include "core/shell/registry_database.h"
#include "core/shell/registry_statement.h"

#include <thread>

namespace clarivex {

namespace {

QByteArray fold(const QString &name)
{
    return name.toCaseFolded().toUtf8();
}

} // namespace

using Statement = RegistryStatement;

template <typename Work> bool RegistryDatabase::writeTransaction(Work work)
{
    m_lastError.clear();
    if (m_readOnly) {
        noteWriteFailure(SQLITE_READONLY);
        return false;
    }
    // The busy timeout covers waiting for another writer; a stale snapshot
    // (another writer slipped in between) is retried from the start.
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < 50; ++attempt) {
        rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if ((rc & 0xff) == SQLITE_BUSY) {
            std::this_thread::yield();
            continue;
        }
        if (rc != SQLITE_OK) break;
        Statement::resetStepFailure();
        if (!work()) {
            rc = Statement::lastStepFailure();
            execute("ROLLBACK");
            if (rc) noteWriteFailure(rc); // else refused by the work itself
            return false;
        }
        rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) return true;
        execute("ROLLBACK");
        if ((rc & 0xff) != SQLITE_BUSY) break;
    }
    noteWriteFailure(rc);
    return false;
}

bool RegistryDatabase::keyExists(qint64 key)
{
    Statement st(m_db, "SELECT 1 FROM keys WHERE id = ?");
    st.bind(1, key);
    return st.next();
}

qint64 RegistryDatabase::findChild(qint64 parent, const QString &name)
{
    Statement st(m_db, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
    st.bind(1, parent).bind(2, fold(name));
    return st.next() ? st.integer(0) : 0;
}

qint64 RegistryDatabase::findPath(qint64 from, const QStringList &parts)
{
    if (!keyExists(from)) return 0;
    qint64 key = from;
    for (const QString &part : parts) {
        key = findChild(key, part);
        if (!key) return 0;
    }
    return key;
}

// Levels below the hive (a hive is 0).
int RegistryDatabase::depthOf(qint64 key)
{
    Statement st(m_db, "WITH RECURSIVE up(id, n) AS (SELECT parent, 0 FROM keys WHERE id = ? "
                       "UNION ALL SELECT keys.parent, up.n + 1 FROM keys JOIN up "
                       "ON keys.id = up.id) SELECT max(n) FROM up");
    st.bind(1, key);
    return st.next() ? int(st.integer(0)) : 0;
}

qint64 RegistryDatabase::createPath(qint64 from, const QStringList &parts)
{
    for (const QString &part : parts) {
        if (!part.isValidUtf16()) {
            m_lastError = QStringLiteral("a key name is not valid Unicode");
            return 0;
        }
    }
    qint64 result = 0;
    bool tooDeep = false;
    const bool ok = writeTransaction([&] {
        if (!keyExists(from)) return false;
        qint64 key = from;
        int depth = -1; // counted once something has to be made
        for (const QString &part : parts) {
            qint64 child = findChild(key, part);
            if (!child) {
                if (depth < 0) depth = depthOf(key);
                if (depth >= kMaxKeyDepth) {
                    tooDeep = true;
                    return false;
                }
                Statement insert(m_db, "INSERT INTO keys(parent, name, fold) VALUES(?, ?, ?)");
                insert.bind(1, key).bind(2, part.toUtf8()).bind(3, fold(part));
                if (!insert.run()) return false;
                child = sqlite3_last_insert_rowid(m_db);
            }
            if (depth >= 0) ++depth;
            key = child;
        }
        result = key;
        return true;
    });
    if (tooDeep)
        m_lastError =
            QStringLiteral("keys lie at most %1 levels below their hive").arg(kMaxKeyDepth);
    return ok ? result : 0;
}

QStringList RegistryDatabase::childNames(qint64 key)
{
    QStringList names;
    Statement st(m_db, "SELECT name FROM keys WHERE parent = ? ORDER BY fold");
    st.bind(1, key);
    while (st.next())
        names << st.text(0);
    return names;
}

QList<std::pair<qint64, QString>> RegistryDatabase::children(qint64 key)
{
    QList<std::pair<qint64, QString>> list;
    Statement st(m_db, "SELECT id, name FROM keys WHERE parent = ? ORDER BY fold");
    st.bind(1, key);
    while (st.next())
        list.append({st.integer(0), st.text(1)});
    return list;
}

// The subtree is listed with each key's depth, then removed one level at a
// time from the deepest: a cascade from a key whose children are already gone
// goes no deeper, so no depth runs into SQLite's limit on nested actions.
RegistryDatabase::Outcome RegistryDatabase::deleteKey(qint64 key)
{
    if (key == hiveKey(RegistryHive::CurrentUser) || key == hiveKey(RegistryHive::LocalMachine))
        return Outcome::Missing; // a hive itself cannot be deleted
    bool found = false;
    const bool ok = writeTransaction([&] {
        found = keyExists(key);
        if (!found) return true;
        if (!execute("CREATE TEMP TABLE IF NOT EXISTS doomed(id INTEGER PRIMARY KEY, "
                     "depth INTEGER NOT NULL); "
                     "CREATE INDEX IF NOT EXISTS temp.doomed_by_depth ON doomed(depth); "
                     "DELETE FROM temp.doomed;"))
            return false;
        Statement list(m_db, "WITH RECURSIVE sub(id, depth) AS (SELECT ?, 0 UNION ALL "
                             "SELECT keys.id, sub.depth + 1 FROM keys JOIN sub "
                             "ON keys.parent = sub.id) INSERT INTO temp.doomed SELECT * FROM sub");
        if (!list.bind(1, key).run()) return false;
        Statement deepest(m_db, "SELECT max(depth) FROM temp.doomed");
        if (!deepest.next()) return false;
        const qint64 levels = deepest.integer(0);
        Statement values(m_db, "DELETE FROM vals WHERE key IN (SELECT id FROM temp.doomed)");
        if (!values.run()) return false;
        Statement level(m_db, "DELETE FROM keys WHERE id IN "
                              "(SELECT id FROM temp.doomed WHERE depth = ?)");
        for (qint64 depth = levels; depth >= 0; --depth) {
            if (!level.bind(1, depth).run()) return false;
        }
        return execute("DELETE FROM temp.doomed");
    });
    if (!ok) return Outcome::Failed;
    return found ? Outcome::Done : Outcome::Missing;
}

std::optional<RegistryValue> RegistryDatabase::value(qint64 key, const QString &name)
{
    Statement st(m_db, "SELECT name, type, data FROM vals WHERE key = ? AND fold = ?");
    st.bind(1, key).bind(2, fold(name));
    if (!st.next()) return std::nullopt;
    return RegistryValue{st.text(0), quint32(st.integer(1)), st.blob(2)};
}

QList<RegistryValue> RegistryDatabase::values(qint64 key)
{
    QList<RegistryValue> list;
    Statement st(m_db, "SELECT name, type, data FROM vals WHERE key = ? ORDER BY seq");
    st.bind(1, key);
    while (st.next())
        list.append(RegistryValue{st.text(0), quint32(st.integer(1)), st.blob(2)});
    return list;
}

bool RegistryDatabase::setValue(qint64 key, const QString &name, quint32 type,
                                const QByteArray &data)
{
    // Two names that differ only in broken UTF-16 would be stored as the same bytes.
    if (!name.isValidUtf16()) {
        m_lastError = QStringLiteral("the name is not valid Unicode");
        return false;
    }
    return writeTransaction([&] {
        if (!keyExists(key)) return false;
        Statement st(m_db, "INSERT INTO vals(key, name, fold, type, data) VALUES(?, ?, ?, ?, ?) "
                           "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, "
                           "data = excluded.data");
        st.bind(1, key).bind(2, name.toUtf8()).bind(3, fold(name)).bind(4, qint64(type));
        st.bindBlob(5, data);
        return st.run();
    });
}

RegistryDatabase::Outcome RegistryDatabase::deleteValue(qint64 key, const QString &name)
{
    bool deleted = false;
    const bool ok = writeTransaction([&] {
        Statement st(m_db, "DELETE FROM vals WHERE key = ? AND fold = ?");
        st.bind(1, key).bind(2, fold(name));
        if (!st.run()) return false;
        deleted = sqlite3_changes(m_db) > 0;
        return true;
    });
    if (!ok) return Outcome::Failed;
    return deleted ? Outcome::Done : Outcome::Missing;
}

} // namespace clarivex
