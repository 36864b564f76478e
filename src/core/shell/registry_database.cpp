#include "core/shell/registry_database.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace clarivex {

namespace {

constexpr int kBusyTimeoutMs = 10000;

const char *const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS keys(
    id INTEGER PRIMARY KEY,
    parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    fold TEXT NOT NULL);
CREATE UNIQUE INDEX IF NOT EXISTS keys_by_name ON keys(parent, fold);
CREATE TABLE IF NOT EXISTS vals(
    seq INTEGER PRIMARY KEY AUTOINCREMENT,
    key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL);
CREATE UNIQUE INDEX IF NOT EXISTS vals_by_name ON vals(key, fold);
INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES
    (1, NULL, 'HKEY_CURRENT_USER', 'hkey_current_user'),
    (2, NULL, 'HKEY_LOCAL_MACHINE', 'hkey_local_machine');
)sql";

QByteArray fold(const QString &name)
{
    return name.toCaseFolded().toUtf8();
}

bool isDamage(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    bool exists = false;
    bool operator==(const FileIdentity &) const = default;
};

FileIdentity identityOf(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {st.st_dev, st.st_ino, true};
}

} // namespace

// A prepared statement that finalises itself.
class RegistryDatabase::Statement
{
public:
    Statement(sqlite3 *db, const char *sql)
    {
        m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    int code() const { return m_rc; }
    Statement &bind(int index, qint64 value)
    {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    Statement &bind(int index, const QByteArray &text)
    {
        sqlite3_bind_text(m_stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement &bindBlob(int index, const QByteArray &data)
    {
        // An empty blob must stay a blob, not NULL.
        sqlite3_bind_blob(m_stmt, index, data.isEmpty() ? "" : data.constData(), int(data.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    // True while a row is available.
    bool next()
    {
        if (!m_stmt) return false;
        m_rc = sqlite3_step(m_stmt);
        return m_rc == SQLITE_ROW;
    }
    // Runs a statement that returns no rows.
    bool run() { return !next() && m_rc == SQLITE_DONE; }
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    QString text(int column) const
    {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, column));
    }
    QByteArray blob(int column) const
    {
        const auto *p = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
        return QByteArray(p, sqlite3_column_bytes(m_stmt, column));
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

namespace {
thread_local std::unique_ptr<RegistryDatabase> t_instance;
}

QString RegistryDatabase::defaultPath()
{
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/clarivex/registry.db");
}

RegistryDatabase &RegistryDatabase::instance()
{
    const QString path = defaultPath();
    if (!t_instance || t_instance->path() != path) {
        t_instance.reset();
        t_instance = std::make_unique<RegistryDatabase>(path);
    }
    return *t_instance;
}

void RegistryDatabase::closeInstance()
{
    t_instance.reset();
}

RegistryDatabase::RegistryDatabase(const QString &path) : m_path(path)
{
    open();
}

RegistryDatabase::~RegistryDatabase()
{
    closeConnection();
}

QString RegistryDatabase::takeResetNotice()
{
    QString notice;
    notice.swap(m_resetNotice);
    return notice;
}

void RegistryDatabase::closeConnection()
{
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool RegistryDatabase::execute(const char *sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void RegistryDatabase::open()
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        throw ERegistryException(QStringLiteral("Cannot create the settings folder %1: %2")
                                     .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    }
    QString problem;
    bool movedAside = false;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const OpenResult result = openAndCheck(&problem);
        if (result == OpenResult::Ready) return;
        if (result == OpenResult::Damaged && !movedAside) {
            moveAside(); // keep the damaged file and start anew
            movedAside = true;
            continue;
        }
        // Another program may hold the file while it sets it up: wait a little.
        if (result == OpenResult::Busy && waited.elapsed() < kBusyTimeoutMs) {
            QThread::msleep(20);
            continue;
        }
        break;
    }
    closeConnection();
    throw ERegistryException(
        QStringLiteral("Cannot open the settings database %1: %2").arg(m_path, problem));
}

// Opens the connection, checks the file and lays out the tables.
RegistryDatabase::OpenResult RegistryDatabase::openAndCheck(QString *problem)
{
    closeConnection();
    const QByteArray name = QFile::encodeName(m_path);
    int rc = sqlite3_open_v2(name.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
        sqlite3_extended_result_codes(m_db, 1);
        // Check before anything is written, so that a damaged file is kept as it was.
        Statement check(m_db, "PRAGMA quick_check");
        if (check.next()) {
            if (check.text(0) != QLatin1String("ok")) return OpenResult::Damaged;
        } else {
            rc = check.code();
        }
    }
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(m_db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(m_db, "PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;", nullptr,
                          nullptr, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK)
                rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
            else
                execute("ROLLBACK");
        }
    }
    if (rc == SQLITE_OK) return OpenResult::Ready;
    if (isDamage(rc)) return OpenResult::Damaged;
    *problem = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc));
    closeConnection();
    const int primary = rc & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? OpenResult::Busy
                                                              : OpenResult::Failed;
}

void RegistryDatabase::moveAside()
{
    const FileIdentity damaged = identityOf(m_path);
    closeConnection();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = m_path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFile::exists(target); ++n)
        target = m_path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    // Another process may have moved it and started a fresh file already:
    // only the file that was found damaged is moved.
    if (damaged.exists && identityOf(m_path) == damaged &&
        ::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(target).constData()) ==
            0) {
        for (const char *suffix : {"-wal", "-shm"}) {
            const QString side = m_path + QLatin1String(suffix);
            if (QFile::exists(side)) QFile::rename(side, target + QLatin1String(suffix));
        }
        m_movedAside = target;
        m_resetNotice = QStringLiteral("The settings file %1 was damaged. It was kept as %2 and "
                                       "the settings start from their defaults.")
                            .arg(m_path, target);
    }
}

template <typename Work> bool RegistryDatabase::writeTransaction(Work work)
{
    // The busy timeout covers waiting for another writer; a stale snapshot
    // (another writer slipped in between) is retried from the start.
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if ((rc & 0xff) == SQLITE_BUSY) {
            std::this_thread::yield();
            continue;
        }
        if (rc != SQLITE_OK) return false;
        if (!work()) {
            execute("ROLLBACK");
            return false;
        }
        if (execute("COMMIT")) return true;
        execute("ROLLBACK");
    }
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

qint64 RegistryDatabase::createPath(qint64 from, const QStringList &parts)
{
    qint64 result = 0;
    const bool ok = writeTransaction([&] {
        if (!keyExists(from)) return false;
        qint64 key = from;
        for (const QString &part : parts) {
            qint64 child = findChild(key, part);
            if (!child) {
                Statement insert(m_db, "INSERT INTO keys(parent, name, fold) VALUES(?, ?, ?)");
                insert.bind(1, key).bind(2, part.toUtf8()).bind(3, fold(part));
                if (!insert.run()) return false;
                child = sqlite3_last_insert_rowid(m_db);
            }
            key = child;
        }
        result = key;
        return true;
    });
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

bool RegistryDatabase::deleteKey(qint64 key)
{
    if (key == hiveKey(RegistryHive::CurrentUser) || key == hiveKey(RegistryHive::LocalMachine))
        return false; // a hive itself cannot be deleted
    bool deleted = false;
    const bool ok = writeTransaction([&] {
        Statement st(m_db, "DELETE FROM keys WHERE id = ?");
        st.bind(1, key);
        if (!st.run()) return false;
        deleted = sqlite3_changes(m_db) > 0;
        return true;
    });
    return ok && deleted;
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

bool RegistryDatabase::deleteValue(qint64 key, const QString &name)
{
    bool deleted = false;
    const bool ok = writeTransaction([&] {
        Statement st(m_db, "DELETE FROM vals WHERE key = ? AND fold = ?");
        st.bind(1, key).bind(2, fold(name));
        if (!st.run()) return false;
        deleted = sqlite3_changes(m_db) > 0;
        return true;
    });
    return ok && deleted;
}

} // namespace clarivex
