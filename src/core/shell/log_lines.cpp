#include "core/shell/log_lines.h"

#include <cstring>

namespace clarivex {

LogLines LogLines::fromBytes(QByteArray bytes)
{
    LogLines lines;
    if (!bytes.isEmpty() && !bytes.endsWith('\n')) bytes.append('\n');
    lines.m_bytes = std::move(bytes);
    const char *data = lines.m_bytes.constData();
    const qint64 size = lines.m_bytes.size();
    for (qint64 start = 0; start < size;) {
        lines.m_starts.push_back(start);
        const void *end = std::memchr(data + start, '\n', size_t(size - start));
        start = static_cast<const char *>(end) - data + 1;
    }
    lines.m_starts.shrink_to_fit();
    return lines;
}

void LogLines::append(const LogEntry &entry)
{
    QString text = entry.dateTime + QLatin1Char(';') + entry.event;
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    // A row without a date (read from a line without ";") keeps having none.
    const QByteArray bytes = entry.dateTime.isEmpty() && !entry.event.contains(QLatin1Char(';'))
                                 ? entry.event.toUtf8()
                                 : text.toUtf8();
    m_starts.push_back(m_bytes.size());
    m_bytes += bytes;
    m_bytes += '\n';
}

void LogLines::clear()
{
    m_bytes = QByteArray();
    m_starts = {};
}

QByteArrayView LogLines::line(qsizetype index) const
{
    const qint64 start = m_starts[size_t(index)];
    const qint64 end =
        size_t(index) + 1 < m_starts.size() ? m_starts[size_t(index) + 1] : qint64(m_bytes.size());
    QByteArrayView view(m_bytes.constData() + start, end - start - 1); // without the '\n'
    if (view.endsWith('\r')) view.chop(1);
    return view;
}

LogEntry LogLines::entry(qsizetype index) const
{
    return EventLog::parseLine(QString::fromUtf8(line(index)));
}

QByteArrayView LogLines::column(qsizetype index, int which) const
{
    const QByteArrayView text = line(index);
    const qsizetype semicolon = text.indexOf(';');
    if (semicolon < 0) return which == 0 ? QByteArrayView() : text;
    return which == 0 ? text.first(semicolon) : text.sliced(semicolon + 1);
}

} // namespace clarivex
