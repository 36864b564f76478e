#pragma once

// A prepared statement of the settings database that finalises itself. Only
// the files of the settings store use it. A step that fails (anything but a
// row or the end) is remembered in lastStepFailure(), so that a write that
// gives up can say why.

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

namespace clarivex {

class RegistryStatement
{
public:
    RegistryStatement(sqlite3 *db, const char *sql)
    {
        m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
        if (m_rc != SQLITE_OK) noteFailure(m_rc);
    }
    ~RegistryStatement() { sqlite3_finalize(m_stmt); }
    RegistryStatement(const RegistryStatement &) = delete;
    RegistryStatement &operator=(const RegistryStatement &) = delete;

    int code() const { return m_rc; }
    RegistryStatement &bind(int index, qint64 value)
    {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    RegistryStatement &bind(int index, const QByteArray &text)
    {
        sqlite3_bind_text(m_stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    RegistryStatement &bindBlob(int index, const QByteArray &data)
    {
        // An empty blob must stay a blob, not NULL.
        sqlite3_bind_blob(m_stmt, index, data.isEmpty() ? "" : data.constData(), int(data.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    RegistryStatement &bindNull(int index)
    {
        sqlite3_bind_null(m_stmt, index);
        return *this;
    }
    // True while a row is available.
    bool next()
    {
        if (!m_stmt) return false;
        m_rc = sqlite3_step(m_stmt);
        if (m_rc != SQLITE_ROW && m_rc != SQLITE_DONE) noteFailure(m_rc);
        return m_rc == SQLITE_ROW;
    }
    // Runs a statement that returns no rows; it may be bound and run again.
    bool run()
    {
        if (!m_stmt) return false;
        const bool done = !next() && m_rc == SQLITE_DONE;
        sqlite3_reset(m_stmt); // ready to be bound and run again
        return done;
    }
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

    // The extended code of the last failed step on this thread, 0 after reset.
    static int lastStepFailure() { return s_failure; }
    static void resetStepFailure() { s_failure = 0; }
    static void noteFailure(int rc) { s_failure = rc; }

private:
    static inline thread_local int s_failure = 0;
    sqlite3_stmt *m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

} // namespace clarivex
