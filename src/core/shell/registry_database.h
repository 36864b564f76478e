#pragma once

// The SQLite file behind the settings store: $XDG_CONFIG_HOME/clarivex/registry.db.
// Both hives live in it as trees of keys; values hang off keys. Key and value
// names compare without regard to case (by their case-folded form); subkeys
// enumerate by name, values in creation order (an overwritten value keeps its
// place). Every write is one immediate transaction in WAL mode with a busy
// timeout, so the main program, the Scheduler and clarivex-cli may write at the
// same time and a killed process leaves the previous state. A file that is not
// a sound database is moved aside under a timestamped name, never deleted, and
// the store starts empty; `takeResetNotice()` tells the caller once, also when
// the store could not be opened after all.
//
// A registry.db that the user may not write (mode 0444, a read-only mount) is
// opened for reading only: reads work, writes fail naming the read-only file,
// and no side file (-wal, -shm) is made for it. A new file is made 0600: the
// settings are the user's alone. A failed write leaves its cause in
// lastError() ("the disk holding ... is full", ...). Keys lie at most
// kMaxKeyDepth levels below their hive; deleting and exporting take bounded
// memory at any depth, since an older store may hold deeper keys.

#include "core/shell/custom_registry.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <utility>

struct sqlite3;
struct sqlite3_stmt;

namespace clarivex {

class RegistryDatabase
{
public:
    // The database for the calling thread, opened (or reopened when the
    // configuration folder changed) on first use. Throws ERegistryException
    // naming the path when the folder or file cannot be created or opened.
    static RegistryDatabase &instance();
    // Where the database lives for the current environment.
    static QString defaultPath();
    // Closes the calling thread's connection (tests that switch homes).
    static void closeInstance();

    explicit RegistryDatabase(const QString &path);
    ~RegistryDatabase();
    RegistryDatabase(const RegistryDatabase &) = delete;
    RegistryDatabase &operator=(const RegistryDatabase &) = delete;

    QString path() const { return m_path; }
    // Non-empty once, after a damaged file was moved aside: the text to show
    // the user. Kept per thread, so it survives an open that failed later.
    [[nodiscard]] static QString takeResetNotice();
    QString movedAsidePath() const { return m_movedAside; }

    // True when the file may only be read.
    bool isReadOnly() const { return m_readOnly; }
    // Why the last write failed, naming the file; empty when it did not fail
    // in the store (a missing key, a name refused).
    QString lastError() const { return m_lastError; }

    static constexpr int kMaxKeyDepth = 512;
    enum class Outcome { Done, Missing, Failed };

    static qint64 hiveKey(RegistryHive hive) { return hive == RegistryHive::CurrentUser ? 1 : 2; }

    [[nodiscard]] bool keyExists(qint64 key);
    // The child of a key by name, or 0.
    [[nodiscard]] qint64 findChild(qint64 parent, const QString &name);
    // Walks the parts from a key; 0 when one is missing.
    [[nodiscard]] qint64 findPath(qint64 from, const QStringList &parts);
    // Creates what is missing along the parts, in one transaction; 0 on
    // failure (lastError() says why when the store failed or the key would
    // lie too deep).
    [[nodiscard]] qint64 createPath(qint64 from, const QStringList &parts);
    [[nodiscard]] QStringList childNames(qint64 key);
    // The subkeys as (key, name), sorted by name.
    [[nodiscard]] QList<std::pair<qint64, QString>> children(qint64 key);
    // Removes the key with its whole subtree and its values, leaves first.
    [[nodiscard]] Outcome deleteKey(qint64 key);

    [[nodiscard]] std::optional<RegistryValue> value(qint64 key, const QString &name);
    [[nodiscard]] QList<RegistryValue> values(qint64 key);
    [[nodiscard]] bool setValue(qint64 key, const QString &name, quint32 type,
                                const QByteArray &data);
    [[nodiscard]] Outcome deleteValue(qint64 key, const QString &name);

private:
    enum class OpenResult { Ready, Damaged, Busy, Failed };
    void open();
    [[nodiscard]] OpenResult openAndCheck(QString *problem);
    [[nodiscard]] int openConnection();
    [[nodiscard]] int layOut();
    void moveAside();
    void closeConnection();
    bool execute(const char *sql);
    template <typename Work> bool writeTransaction(Work work);
    void noteWriteFailure(int code);
    [[nodiscard]] int depthOf(qint64 key);

    QString m_path;
    QString m_movedAside;
    QString m_lastError;
    QString m_readOnlyReason; // the cause every write fails with, when read-only
    bool m_readOnly = false;
    int m_openErrno = 0;     // errno behind the last failed open
    bool m_diskFull = false; // the file could not be opened for writing: full disk
    sqlite3 *m_db = nullptr;
};

} // namespace clarivex
