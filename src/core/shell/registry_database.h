#pragma once

// The SQLite file behind the settings store: $XDG_CONFIG_HOME/clarivex/registry.db.
// Both hives live in it as trees of keys; values hang off keys. Key and value
// names compare without regard to case (by their case-folded form); subkeys
// enumerate by name, values in creation order (an overwritten value keeps its
// place). Every write is one immediate transaction in WAL mode with a busy
// timeout, so the main program, the Scheduler and clarivex-cli may write at the
// same time and a killed process leaves the previous state. A file that is not
// a sound database is moved aside under a timestamped name, never deleted, and
// the store starts empty; `resetNotice()` tells the caller once.

#include "core/shell/custom_registry.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

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
    // Non-empty once, after a damaged file was moved aside: the text to show the user.
    [[nodiscard]] QString takeResetNotice();
    QString movedAsidePath() const { return m_movedAside; }

    static qint64 hiveKey(RegistryHive hive) { return hive == RegistryHive::CurrentUser ? 1 : 2; }

    [[nodiscard]] bool keyExists(qint64 key);
    // The child of a key by name, or 0.
    [[nodiscard]] qint64 findChild(qint64 parent, const QString &name);
    // Walks the parts from a key; 0 when one is missing.
    [[nodiscard]] qint64 findPath(qint64 from, const QStringList &parts);
    // Creates what is missing along the parts, in one transaction; 0 on failure.
    [[nodiscard]] qint64 createPath(qint64 from, const QStringList &parts);
    [[nodiscard]] QStringList childNames(qint64 key);
    // Removes the key with its whole subtree and its values; false when it was not there.
    bool deleteKey(qint64 key);

    [[nodiscard]] std::optional<RegistryValue> value(qint64 key, const QString &name);
    [[nodiscard]] QList<RegistryValue> values(qint64 key);
    [[nodiscard]] bool setValue(qint64 key, const QString &name, quint32 type,
                                const QByteArray &data);
    bool deleteValue(qint64 key, const QString &name);

private:
    class Statement;
    enum class OpenResult { Ready, Damaged, Busy, Failed };
    void open();
    [[nodiscard]] OpenResult openAndCheck(QString *problem);
    void moveAside();
    void closeConnection();
    bool execute(const char *sql);
    template <typename Work> bool writeTransaction(Work work);

    QString m_path;
    QString m_movedAside;
    QString m_resetNotice;
    sqlite3 *m_db = nullptr;
};

} // namespace clarivex
