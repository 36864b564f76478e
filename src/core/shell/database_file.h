#pragma once

// The private SQLite files beside the settings (the clean history, the hash
// cache): opened without following a link, made 0600 before SQLite sees them,
// and moved aside, never trusted again, once found damaged.

#include <QString>

#include <sqlite3.h>

namespace clarivex {

// Sets SQLite up for this program before its first database is opened:
// no memory statistics, which take a process-wide lock on every allocation.
// Called by every open; only the first call does anything.
void configureSqliteOnce();

// A code that says the file is not a database or is damaged.
[[nodiscard]] bool isDatabaseDamage(int code);

// Opens (and creates, 0600) the database at `path` for reading and writing,
// with a busy timeout and extended result codes. Returns the SQLite code;
// `*db` may be set even when it is not SQLITE_OK, and is the caller's to close.
// `oneThread`: the connection is used by one thread at a time, so SQLite
// takes no lock of its own around each call.
[[nodiscard]] int openPrivateDatabase(const QString &path, sqlite3 **db, int busyTimeoutMs,
                                      bool oneThread = false);

// Renames a damaged database (with its -wal and -shm files) to
// "PATH.damaged-STAMP", for whoever wants to look at it. Returns the new name,
// or an empty string when it could not be moved. The file must be closed.
[[nodiscard]] QString moveDamagedDatabaseAside(const QString &path);

} // namespace clarivex
