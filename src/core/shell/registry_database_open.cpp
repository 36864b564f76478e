// Opening the settings database: creating it for the user alone, reading a
// file the user may not write, moving a damaged file aside, and the texts of
// what went wrong.

#include "core/shell/database_file.h"
#include "core/shell/registry_database.h"
#include "core/shell/registry_statement.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

thread_local std::unique_ptr<RegistryDatabase> t_instance;
thread_local QString t_resetNotice;

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

FileIdentity identityOf(const QByteArray &path)
{
    struct stat st;
    if (::stat(path.constData(), &st) != 0) return {};
    return {st.st_dev, st.st_ino, true};
}

bool exists(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

// A side file that an earlier run left without write permission (SQLite makes
// them with the mode of the database) blocks every later write: give it back
// to its owner.
void repairSideFiles(const QByteArray &path)
{
    for (const char *suffix : {"-wal", "-shm"}) {
        const QByteArray side = path + suffix;
        struct stat st;
        if (::lstat(side.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid() && (st.st_mode & S_IWUSR) == 0)
            (void)::chmod(side.constData(), (st.st_mode & 0700) | S_IRUSR | S_IWUSR);
    }
}

} // namespace

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
    notice.swap(t_resetNotice);
    return notice;
}

void RegistryDatabase::closeConnection()
{
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool RegistryDatabase::execute(const char *sql)
{
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) RegistryStatement::noteFailure(rc);
    return rc == SQLITE_OK;
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
        // A full disk keeps SQLite from making its side files: read what is there.
        if (result == OpenResult::Failed && !m_diskFull && m_openErrno == ENOSPC) {
            m_diskFull = true;
            continue;
        }
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

// Opens the connection: read and write, or read only when the user may not
// write the file. A new file is made 0600 before SQLite sees it.
int RegistryDatabase::openConnection()
{
    closeConnection();
    m_openErrno = 0;
    const QByteArray name = QFile::encodeName(m_path);
    m_readOnly = m_diskFull;
    m_readOnlyReason = QStringLiteral("the disk holding %1 is full").arg(m_path);
    if (exists(name)) {
        if (!m_readOnly && ::access(name.constData(), W_OK) != 0 &&
            (errno == EACCES || errno == EROFS)) {
            m_readOnly = true;
            m_readOnlyReason = QStringLiteral("the settings file %1 is read-only").arg(m_path);
        }
    } else {
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd); // an empty file is a new database to SQLite
    }
    configureSqliteOnce();
    if (!m_readOnly) {
        repairSideFiles(name);
        return sqlite3_open_v2(name.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                               nullptr);
    }
    // Read only. Without side files the file is read as it is, making none;
    // with them (another program writes it) they are used as they are.
    QByteArray uri =
        "file:" + QUrl::toPercentEncoding(QString::fromLocal8Bit(name), "/") + "?mode=ro";
    if (!exists(name + "-wal") && !exists(name + "-shm")) uri += "&immutable=1";
    return sqlite3_open_v2(uri.constData(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
}

// WAL mode and the tables, in one immediate transaction.
int RegistryDatabase::layOut()
{
    int rc = sqlite3_exec(m_db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(m_db, "PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;", nullptr,
                          nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
    rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
    rc = sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    execute("ROLLBACK");
    return rc;
}

// Opens the connection, checks the file and lays out the tables.
RegistryDatabase::OpenResult RegistryDatabase::openAndCheck(QString *problem)
{
    int rc = openConnection();
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
        sqlite3_extended_result_codes(m_db, 1);
        // Check before anything is written, so that a damaged file is kept as it was.
        RegistryStatement check(m_db, "PRAGMA quick_check");
        if (check.next()) {
            if (check.text(0) != QLatin1String("ok")) return OpenResult::Damaged;
        } else {
            rc = check.code();
        }
    }
    if (rc == SQLITE_OK && !m_readOnly) rc = layOut();
    if (rc == SQLITE_OK) return OpenResult::Ready;
    if (isDamage(rc)) return OpenResult::Damaged;
    *problem = QString::fromUtf8(sqlite3_errstr(rc));
    if (m_db && sqlite3_errcode(m_db) == rc) *problem = QString::fromUtf8(sqlite3_errmsg(m_db));
    m_openErrno = m_db ? sqlite3_system_errno(m_db) : 0;
    if (m_openErrno == ENOSPC || (rc & 0xff) == SQLITE_FULL) {
        m_openErrno = ENOSPC;
        *problem = QStringLiteral("the disk is full");
    }
    closeConnection();
    const int primary = rc & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? OpenResult::Busy
                                                              : OpenResult::Failed;
}

void RegistryDatabase::moveAside()
{
    const QByteArray native = QFile::encodeName(m_path);
    const FileIdentity damaged = identityOf(native);
    closeConnection();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = m_path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFile::exists(target); ++n)
        target = m_path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    // Another process may have moved it and started a fresh file already:
    // only the file that was found damaged is moved.
    if (damaged.exists && identityOf(native) == damaged &&
        ::rename(native.constData(), QFile::encodeName(target).constData()) == 0) {
        for (const char *suffix : {"-wal", "-shm"}) {
            const QString side = m_path + QLatin1String(suffix);
            if (QFile::exists(side)) QFile::rename(side, target + QLatin1String(suffix));
        }
        m_movedAside = target;
        t_resetNotice = QStringLiteral("The settings file %1 was damaged. It was kept as %2 and "
                                       "the settings start from their defaults.")
                            .arg(m_path, target);
    }
}

// Puts the cause of a failed write into words that name the file.
void RegistryDatabase::noteWriteFailure(int code)
{
    const int primary = code & 0xff;
    const int error = m_db ? sqlite3_system_errno(m_db) : 0;
    if (m_readOnly)
        m_lastError = m_readOnlyReason;
    else if (primary == SQLITE_READONLY)
        m_lastError = QStringLiteral("the settings file %1 is read-only").arg(m_path);
    else if (primary == SQLITE_FULL || error == ENOSPC)
        m_lastError = QStringLiteral("the disk holding %1 is full").arg(m_path);
    else if (primary == SQLITE_IOERR && error)
        m_lastError = QStringLiteral("cannot write %1: %2")
                          .arg(m_path, QString::fromLocal8Bit(std::strerror(error)));
    else if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        m_lastError = QStringLiteral("the settings file %1 stayed busy").arg(m_path);
    else
        m_lastError = QStringLiteral("%1: %2").arg(m_path, QString::fromUtf8(sqlite3_errstr(code)));
}

} // namespace clarivex
