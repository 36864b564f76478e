#pragma once

// The event log: the history shown on the "Logs" page and kept in the file
// "logs.log" in $XDG_STATE_HOME/clarivex/ (else ~/.local/state/clarivex/).
// One event per line, "date time;event" ended by CR LF, for example
//   06-12-2026 13:05:22;Main Program Started
// The time is left out when the event happened at 00:00:00 exactly. Only the
// first ";" separates, so an event text may hold ";" itself.
//
// The file is opened only for the length of one call, never through a link
// and never waiting: anything but a regular file (a FIFO, a device) is an
// error, not a hang. A line that cannot be
// written in full (disk full, file size limit) is cut off again, and a file
// whose last line lacks its end (an earlier crash) gets one before the next
// line, so that lines already written are never damaged.

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <stdexcept>

namespace clarivex {

// The input/output error of the log file; what() names the file and the cause.
class EventLogError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One row of the "Logs" page: its caption and its one sub-item.
struct LogEntry
{
    QString dateTime;
    QString event;
    friend bool operator==(const LogEntry &, const LogEntry &) = default;
};

class LogLines;

class EventLog
{
public:
    explicit EventLog(const QString &filePath = defaultFilePath());

    static QString defaultFilePath();
    QString filePath() const { return m_path; }

    // "dd-MM-yyyy hh:mm:ss", or the date alone at midnight to the second.
    [[nodiscard]] static QString formatStamp(const QDateTime &when);
    [[nodiscard]] static LogEntry makeEntry(const QString &text,
                                            const QDateTime &when = QDateTime::currentDateTime());
    // A file line (without its end) as a row: text before the first ";" and
    // after it; a line without ";" is all event and no date.
    [[nodiscard]] static LogEntry parseLine(const QString &line);

    // WriteLogEvent of the main window. With logEvents false it does nothing
    // at all. Otherwise it hands the new row to addRow (the page) and then
    // appends it to the file; throws EventLogError when the file fails.
    void WriteLogEvent(const QString &text, bool logEvents,
                       const std::function<void(const LogEntry &)> &addRow = {},
                       const QDateTime &when = QDateTime::currentDateTime());

    // Appends one row to the file, creating the file (and its folder) when
    // missing. Throws EventLogError; the file then holds what it held before.
    void append(const LogEntry &entry);

    // Loading for the page, whatever "Log Events" says: creates an empty file
    // when there is none, then returns every line as a row, in file order.
    // Throws EventLogError when the file cannot be created or read.
    [[nodiscard]] QList<LogEntry> load();
    // The same lines kept compactly (log_lines.h), for the page.
    [[nodiscard]] LogLines loadLines();

    // "Clear Logs": deletes the file. A failed delete is ignored (false).
    bool clear();

private:
    [[noreturn]] void fail(const QString &what, int error) const;
    void ensureFolder() const;
    [[nodiscard]] int openLogFile(int flags) const;
    [[nodiscard]] static qint64 fileSize(int fd);

    QString m_path;
};

} // namespace clarivex
