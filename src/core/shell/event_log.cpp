#include "core/shell/event_log.h"

#include "core/base/formats.h"
#include "core/shell/log_lines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex {

namespace {

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

// Writes all of data, or returns the error that stopped it.
int writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        data += n;
        size -= n;
    }
    return 0;
}

bool endsWithLineEnd(int fd, off_t size)
{
    char last = '\n';
    return size == 0 || ::pread(fd, &last, 1, size - 1) != 1 || last == '\n';
}

} // namespace

EventLog::EventLog(const QString &filePath) : m_path(filePath) {}

QString EventLog::defaultFilePath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !state.startsWith(QLatin1Char('/')))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/clarivex/logs.log");
}

QString EventLog::formatStamp(const QDateTime &when)
{
    const QTime time = when.time();
    const QString date = formatShortDate(when.date());
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0) return date;
    return date + QLatin1Char(' ') + formatLongTime(time);
}

LogEntry EventLog::makeEntry(const QString &text, const QDateTime &when)
{
    return {formatStamp(when), text};
}

LogEntry EventLog::parseLine(const QString &line)
{
    const qsizetype semicolon = line.indexOf(QLatin1Char(';'));
    if (semicolon < 0) return {QString(), line};
    return {line.left(semicolon), line.mid(semicolon + 1)};
}

void EventLog::WriteLogEvent(const QString &text, bool logEvents,
                             const std::function<void(const LogEntry &)> &addRow,
                             const QDateTime &when)
{
    if (!logEvents) return;
    const LogEntry entry = makeEntry(text, when);
    if (addRow) addRow(entry);
    append(entry);
}

void EventLog::fail(const QString &what, int error) const
{
    const QString message = QStringLiteral("%1 %2: %3")
                                .arg(what, QDir::toNativeSeparators(m_path),
                                     QString::fromLocal8Bit(std::strerror(error)));
    throw EventLogError(message.toStdString());
}

void EventLog::ensureFolder() const
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("Cannot create the folder of the event log"), errno ? errno : EACCES);
}

void EventLog::append(const LogEntry &entry)
{
    ensureFolder();
    QString text = entry.dateTime + QLatin1Char(';') + entry.event;
    // One event is one line, whatever its text holds.
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    QByteArray line = text.toUtf8() + "\r\n";

    // Read access too: the last byte tells whether the file ends with a whole line.
    const int fd = openLogFile(O_RDWR | O_APPEND | O_CREAT);
    const off_t size = off_t(fileSize(fd));
    if (!endsWithLineEnd(fd, size))
        line.prepend("\r\n"); // finish a line that an earlier crash left open
    if (const int error = writeAll(fd, line.constData(), line.size())) {
        // Take back the part that made it, so the file ends with a whole line.
        if (::ftruncate(fd, size) != 0)
            qWarning("cannot cut back the event log after a failed write");
        ::close(fd);
        fail(QStringLiteral("Cannot write the event log"), error);
    }
    if (::close(fd) != 0) fail(QStringLiteral("Cannot close the event log"), errno);
}

QList<LogEntry> EventLog::load()
{
    const LogLines lines = loadLines();
    QList<LogEntry> rows;
    rows.reserve(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        rows.append(lines.entry(i));
    return rows;
}

LogLines EventLog::loadLines()
{
    ensureFolder();
    const int fd = openLogFile(O_RDONLY | O_CREAT);
    QByteArray bytes;
    const qint64 size = fileSize(fd);
    for (qint64 done = 0;;) {
        if (bytes.size() < done + 65536) bytes.resize(std::max<qint64>(size, done) + 65536);
        const ssize_t got = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            fail(QStringLiteral("Cannot read the event log"), error);
        }
        if (got == 0) {
            bytes.truncate(done);
            break;
        }
        done += got;
    }
    ::close(fd);
    return LogLines::fromBytes(std::move(bytes));
}

// Opens the log without following a link and without waiting (a FIFO would
// block an open for writing until a reader comes); only a regular file is
// taken. Throws EventLogError.
int EventLog::openLogFile(int flags) const
{
    const int fd = ::open(nativePath(m_path).constData(),
                          flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) fail(QStringLiteral("Cannot open the event log"), errno);
    struct stat st = {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        fail(QStringLiteral("Cannot examine the event log"), error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EventLogError(QStringLiteral("Cannot open the event log %1: it is not a regular file")
                                .arg(QDir::toNativeSeparators(m_path))
                                .toStdString());
    }
    // Reads and writes of a regular file wait for the disk as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

qint64 EventLog::fileSize(int fd)
{
    struct stat st = {};
    return ::fstat(fd, &st) == 0 ? qint64(st.st_size) : 0;
}

bool EventLog::clear()
{
    return QFile::remove(m_path);
}

} // namespace clarivex
