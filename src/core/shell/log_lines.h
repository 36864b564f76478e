#pragma once

// The event log's lines kept compactly for the "Logs" page: the file's bytes
// as read, one after the other, and where each line starts (8 bytes a line).
// A row's texts are made only when it is shown, so a large log costs little
// more than its own size.

#include "core/shell/event_log.h"

#include <QByteArray>

#include <vector>

namespace clarivex {

class LogLines
{
public:
    // The lines of a file's contents; CR LF or LF ends a line.
    [[nodiscard]] static LogLines fromBytes(QByteArray bytes);

    void append(const LogEntry &entry);
    void clear();

    [[nodiscard]] qsizetype size() const { return qsizetype(m_starts.size()); }
    [[nodiscard]] bool isEmpty() const { return m_starts.empty(); }
    // The line's bytes, without its end.
    [[nodiscard]] QByteArrayView line(qsizetype index) const;
    [[nodiscard]] LogEntry entry(qsizetype index) const;
    // The bytes of one column: before the first ";" (0) or after it (1).
    [[nodiscard]] QByteArrayView column(qsizetype index, int column) const;
    // Bytes held, for those who watch the memory.
    [[nodiscard]] qsizetype byteSize() const
    {
        return m_bytes.capacity() + qsizetype(m_starts.capacity() * sizeof(qint64));
    }

private:
    QByteArray m_bytes;           // every line followed by '\n'
    std::vector<qint64> m_starts; // where each line begins in m_bytes
};

} // namespace clarivex
