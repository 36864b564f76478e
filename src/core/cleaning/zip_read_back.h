#pragma once

// The read-back check of a finished archive, from its bytes on disk, without
// going through the writer's library: the central directory (Zip64 included)
// is read once, each entry's local header and data are read in large windows
// and inflated by libdeflate, and the bytes must match the CRC and size the
// directory records. The local header must agree with the directory
// (signature, name, method); an encrypted entry, a method other than stored
// or deflated, or data that does not inflate to exactly its size fails.
// An entry larger than ReadBackBuffers::kWholeLimit streams through libzip.
//
// ReadBackRun checks a list of entries in order on a thread of its own, so
// that the sources of the first can go while the next are still checked (or,
// on one core, each when it is asked for).

#include "core/cleaning/unique_fd.h"
#include "core/cleaning/zip_backup.h"

#include <QByteArray>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace clarivex::cleaning {

class ArchiveReadBack
{
public:
    explicit ArchiveReadBack(const QByteArray &path);
    ~ArchiveReadBack();
    ArchiveReadBack(const ArchiveReadBack &) = delete;
    ArchiveReadBack &operator=(const ArchiveReadBack &) = delete;

    // 0, or the libzip error code of an archive that cannot be read.
    [[nodiscard]] int openError() const { return m_error; }
    [[nodiscard]] qsizetype count() const { return qsizetype(m_entries.size()); }
    // Entry `index` read back: true when it is named `name` and its bytes
    // read whole and match the CRC its directory records; their CRC and size.
    [[nodiscard]] bool check(zip_int64_t index, const QByteArray &name, quint32 &crc, qint64 &size);

private:
    struct Entry
    {
        qsizetype nameAt = 0; // in m_directory
        quint16 nameLength = 0;
        quint16 flags = 0;
        quint16 method = 0;
        quint32 crc = 0;
        quint64 compressedSize = 0;
        quint64 size = 0;
        quint64 localHeader = 0;
    };
    [[nodiscard]] int readDirectory();
    [[nodiscard]] bool readAt(quint64 offset, char *to, qint64 length) const;
    // `length` bytes from `offset`, from the window (read again when needed).
    [[nodiscard]] const char *bytes(quint64 offset, quint64 length);
    [[nodiscard]] bool checkStreamed(zip_int64_t index, quint32 &crc, qint64 &size);

    QByteArray m_path;
    UniqueFd m_fd;
    quint64 m_fileSize = 0;
    quint64 m_directoryStart = 0;
    int m_error = 0;
    QByteArray m_directory;
    std::vector<Entry> m_entries;
    QByteArray m_window;
    quint64 m_windowStart = 0;
    ReadBackBuffers m_buffers;
    zip_t *m_zip = nullptr; // for the entries too large to inflate whole
};

class ReadBackRun
{
public:
    struct Expected
    {
        zip_int64_t index = -1;
        QByteArray name;
        quint32 crc = 0;
        qint64 size = 0;
    };

    // Starts checking `expected` in order, on a thread of its own or (one
    // core) as passed() asks; openError() is known on return.
    ReadBackRun(const QByteArray &archive, std::vector<Expected> expected, bool thread = true);
    ~ReadBackRun();
    ReadBackRun(const ReadBackRun &) = delete;
    ReadBackRun &operator=(const ReadBackRun &) = delete;

    [[nodiscard]] int openError() const { return m_reader.openError(); }
    // Whether entry k (of `expected`) read back equal, waited for.
    [[nodiscard]] bool passed(qsizetype k);

private:
    [[nodiscard]] bool check(size_t k);
    void run();

    ArchiveReadBack m_reader;
    std::vector<Expected> m_expected;
    std::vector<char> m_passed;
    qsizetype m_done = 0;
    bool m_stop = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_thread;
};

} // namespace clarivex::cleaning
