#include "core/cleaning/clean_history.h"

#include "core/base/settings_types.h"
#include "core/shell/custom_registry.h"
#include "core/shell/database_file.h"
#include "core/shell/registry_statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace clarivex::cleaning {

namespace {

constexpr int kBusyTimeoutMs = 10000;
constexpr qint64 kWholeCheckBytes = 8 << 20;

const char *const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS cleans(
    id INTEGER PRIMARY KEY,
    started INTEGER NOT NULL,
    mode INTEGER NOT NULL,
    trigger INTEGER NOT NULL,
    destination BLOB NOT NULL,
    finished INTEGER NOT NULL DEFAULT 0);
CREATE INDEX IF NOT EXISTS cleans_by_time ON cleans(started);
CREATE TABLE IF NOT EXISTS files(
    id INTEGER PRIMARY KEY,
    clean INTEGER NOT NULL REFERENCES cleans(id) ON DELETE CASCADE,
    path BLOB NOT NULL,
    device INTEGER NOT NULL,
    inode INTEGER NOT NULL,
    kind INTEGER NOT NULL,
    size INTEGER NOT NULL,
    modified INTEGER NOT NULL,
    state INTEGER NOT NULL,
    place_kind INTEGER NOT NULL DEFAULT 0,
    place BLOB,
    detail BLOB,
    place_device INTEGER,
    place_inode INTEGER,
    reason TEXT);
CREATE INDEX IF NOT EXISTS files_by_clean ON files(clean);
)sql";

QString g_damageNotice;

QString sqliteText(sqlite3 *db, int rc)
{
    if (db && sqlite3_errcode(db) == rc) return QString::fromUtf8(sqlite3_errmsg(db));
    return QString::fromUtf8(sqlite3_errstr(rc));
}

HistoryFile fileOf(const RegistryStatement &row)
{
    HistoryFile file;
    file.id = row.integer(0);
    file.path = row.blob(1);
    file.identity.device = dev_t(row.integer(2));
    file.identity.inode = ino_t(row.integer(3));
    file.identity.kind = FileKind(row.integer(4));
    file.identity.size = row.integer(5);
    file.identity.modified = row.integer(6);
    file.state = RecordState(row.integer(7));
    file.where = Whereabouts(row.integer(8));
    file.place = row.blob(9);
    file.detail = row.blob(10);
    if (row.integer(11) != 0 || row.integer(12) != 0) {
        FileIdentity placed = file.identity;
        placed.device = dev_t(row.integer(11));
        placed.inode = ino_t(row.integer(12));
        file.placeIdentity = placed;
    }
    file.reason = row.text(13);
    return file;
}

} // namespace

QString triggerName(CleanTrigger trigger)
{
    switch (trigger) {
    case CleanTrigger::User:
        return QStringLiteral("user");
    case CleanTrigger::Automatic:
        return QStringLiteral("automatic");
    case CleanTrigger::Scheduled:
        return QStringLiteral("scheduled");
    case CleanTrigger::Cli:
        return QStringLiteral("cli");
    }
    return QStringLiteral("unknown");
}

QString modeName(HistoryMode mode)
{
    switch (mode) {
    case HistoryMode::Trash:
        return QStringLiteral("trash");
    case HistoryMode::Delete:
        return QStringLiteral("delete");
    case HistoryMode::Move:
        return QStringLiteral("move");
    case HistoryMode::Zip:
        return QStringLiteral("zip");
    case HistoryMode::Link:
        return QStringLiteral("link");
    }
    return QStringLiteral("unknown");
}

QString CleanHistory::defaultPath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !state.startsWith(QLatin1Char('/')))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/clarivex/history.db");
}

CleanHistory::CleanHistory(const QString &path) : m_path(path)
{
    open();
}

CleanHistory::~CleanHistory()
{
    if (m_db) sqlite3_close_v2(m_db);
}

QString CleanHistory::takeDamageNotice()
{
    QString notice;
    notice.swap(g_damageNotice);
    return notice;
}

bool CleanHistory::exec(const char *sql)
{
    return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void CleanHistory::open()
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("cannot create %1").arg(folder);
        return;
    }
    const QByteArray name = QFile::encodeName(m_path);
    bool movedAside = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        int rc = openPrivateDatabase(m_path, &m_db, kBusyTimeoutMs, true);
        if (rc == SQLITE_OK) {
            // The whole-file check reads every page: a large history is
            // checked by its header and schema here, and by every later
            // read and write (a damaged page there is moved aside too).
            struct stat size;
            const bool small =
                ::stat(name.constData(), &size) != 0 || size.st_size <= kWholeCheckBytes;
            RegistryStatement check(m_db, small ? "PRAGMA quick_check"
                                                : "SELECT 'ok' FROM sqlite_master LIMIT 1");
            if (check.next())
                rc = check.text(0) == QLatin1String("ok") ? SQLITE_OK : SQLITE_CORRUPT;
            else
                rc = check.code() == SQLITE_DONE ? SQLITE_OK : check.code();
        }
        if (rc == SQLITE_OK) {
            rc = sqlite3_exec(m_db,
                              "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
                              "PRAGMA foreign_keys=ON;",
                              nullptr, nullptr, nullptr);
        }
        if (rc == SQLITE_OK) rc = sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK && m_forceAside) rc = SQLITE_CORRUPT;
        m_forceAside = false;
        if (rc == SQLITE_OK) return;
        m_error = QStringLiteral("%1: %2").arg(m_path, sqliteText(m_db, rc));
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        if (!isDatabaseDamage(rc) || movedAside) return;
        // Keep the damaged file for whoever wants to look at it, and start anew.
        const QString target = moveDamagedDatabaseAside(m_path);
        if (target.isEmpty()) return;
        movedAside = true;
        m_movedAside = target;
        g_damageNotice = QStringLiteral("The clean history %1 was damaged. It was kept as %2 and "
                                        "a new history was started.")
                             .arg(m_path, target);
        m_error.clear();
    }
}

qint64 CleanHistory::beginClean(HistoryMode mode, CleanTrigger trigger,
                                const QByteArray &destination, const QDateTime &when)
{
    if (!m_db) return 0;
    qint64 id = insertClean(mode, trigger, destination, when);
    if (id == 0 && isDatabaseDamage(RegistryStatement::lastStepFailure()) &&
        m_movedAside.isEmpty()) {
        // A damaged page the open did not read: keep the file aside, start anew.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        m_forceAside = true;
        open();
        if (m_db) id = insertClean(mode, trigger, destination, when);
    }
    return id;
}

qint64 CleanHistory::insertClean(HistoryMode mode, CleanTrigger trigger,
                                 const QByteArray &destination, const QDateTime &when)
{
    RegistryStatement::resetStepFailure();
    RegistryStatement insert(
        m_db, "INSERT INTO cleans(started, mode, trigger, destination) VALUES(?, ?, ?, ?)");
    insert.bind(1, when.toMSecsSinceEpoch())
        .bind(2, qint64(mode))
        .bind(3, qint64(trigger))
        .bindBlob(4, destination);
    if (!insert.run()) return 0;
    return sqlite3_last_insert_rowid(m_db);
}

bool CleanHistory::writeBatch(qint64 clean, const QList<HistoryFile> &outcomes,
                              const QList<HistoryFile> &begun, QList<qint64> *ids)
{
    if (ids) ids->clear();
    if (!m_db || !exec("BEGIN IMMEDIATE")) return false;
    bool ok = true;
    {
        RegistryStatement update(m_db, "UPDATE files SET state = ?, place_kind = ?, place = ?, "
                                       "detail = ?, place_device = ?, place_inode = ?, "
                                       "reason = ? WHERE id = ?");
        for (const HistoryFile &file : outcomes) {
            if (!ok) break;
            update.bind(1, qint64(file.state))
                .bind(2, qint64(file.where))
                .bindBlob(3, file.place)
                .bindBlob(4, file.detail)
                .bind(5, file.placeIdentity ? qint64(file.placeIdentity->device) : 0)
                .bind(6, file.placeIdentity ? qint64(file.placeIdentity->inode) : 0)
                .bind(7, file.reason.toUtf8())
                .bind(8, file.id);
            ok = update.run();
        }
        RegistryStatement insert(m_db, "INSERT INTO files(clean, path, device, inode, kind, size, "
                                       "modified, state) VALUES(?, ?, ?, ?, ?, ?, ?, 0)");
        for (const HistoryFile &file : begun) {
            if (!ok) break;
            insert.bind(1, clean)
                .bindBlob(2, file.path)
                .bind(3, qint64(file.identity.device))
                .bind(4, qint64(file.identity.inode))
                .bind(5, qint64(file.identity.kind))
                .bind(6, file.identity.size)
                .bind(7, file.identity.modified);
            ok = insert.run();
            if (ok && ids) *ids << sqlite3_last_insert_rowid(m_db);
        }
    }
    if (ok && exec("COMMIT")) return true;
    exec("ROLLBACK");
    if (ids) ids->clear();
    return false;
}

bool CleanHistory::finishClean(qint64 clean)
{
    if (!m_db) return false;
    RegistryStatement update(m_db, "UPDATE cleans SET finished = 1 WHERE id = ?");
    return update.bind(1, clean).run();
}

QList<HistoryClean> CleanHistory::cleans()
{
    QList<HistoryClean> list;
    if (!m_db) return list;
    RegistryStatement query(
        m_db, "SELECT c.id, c.started, c.mode, c.trigger, c.destination, c.finished, "
              "(SELECT COUNT(*) FROM files f WHERE f.clean = c.id AND f.state <> 2), "
              "(SELECT TOTAL(size) FROM files f WHERE f.clean = c.id AND f.state <> 2) "
              "FROM cleans c ORDER BY c.started DESC, c.id DESC");
    while (query.next()) {
        HistoryClean entry;
        entry.id = query.integer(0);
        entry.when = QDateTime::fromMSecsSinceEpoch(query.integer(1));
        entry.mode = HistoryMode(query.integer(2));
        entry.trigger = CleanTrigger(query.integer(3));
        entry.destination = query.blob(4);
        entry.finished = query.integer(5) != 0;
        entry.files = query.integer(6);
        entry.bytes = query.integer(7);
        list << entry;
    }
    return list;
}

std::optional<HistoryClean> CleanHistory::clean(qint64 id)
{
    for (const HistoryClean &entry : cleans()) {
        if (entry.id == id) return entry;
    }
    return std::nullopt;
}

QList<HistoryFile> CleanHistory::files(qint64 clean)
{
    QList<HistoryFile> list;
    if (!m_db) return list;
    RegistryStatement query(m_db, "SELECT id, path, device, inode, kind, size, modified, state, "
                                  "place_kind, place, detail, place_device, place_inode, reason "
                                  "FROM files WHERE clean = ? ORDER BY id");
    query.bind(1, clean);
    while (query.next())
        list << fileOf(query);
    return list;
}

bool CleanHistory::markUndone(qint64 fileId)
{
    if (!m_db) return false;
    RegistryStatement update(m_db, "UPDATE files SET state = 3 WHERE id = ?");
    return update.bind(1, fileId).run();
}

int CleanHistory::pruneBefore(const QDateTime &cutoff)
{
    if (!m_db) return 0;
    RegistryStatement remove(m_db, "DELETE FROM cleans WHERE started < ?");
    if (!remove.bind(1, cutoff.toMSecsSinceEpoch()).run()) return 0;
    return sqlite3_changes(m_db);
}

int CleanHistory::keepDays()
{
    try {
        TRegIniFile ini(QString::fromLatin1(kSettingsRoot));
        const int days = int(ini.ReadNumber(QStringLiteral("Settings\\Options"),
                                            QStringLiteral("HistoryDays"), kDefaultKeepDays));
        return days > 0 ? days : kDefaultKeepDays;
    } catch (...) {
        return kDefaultKeepDays; // no settings to be had: keep the default
    }
}

} // namespace clarivex::cleaning
