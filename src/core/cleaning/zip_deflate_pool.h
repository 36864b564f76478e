#pragma once

// The deflating of a zip clean, on every core. One job is one file: read
// whole (opened without following a link, non-blocking so that a named pipe
// put in its place cannot stall the clean, and only while it is still the
// regular file that was listed), its CRC-32 taken, its bytes deflated by
// libdeflate. Workers run ahead of the archive's writer within a budget of
// bytes; the writer takes the results in the archive's order, and does a job
// itself when no worker has started it (so one core works as well).
//
// DeflatedSource hands a result to libzip as data deflated already: libzip
// copies it into the archive without deflating again, with the CRC and sizes
// given.

#include "core/cleaning/file_identity.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <zip.h>

struct libdeflate_compressor;

namespace clarivex::cleaning {

struct DeflateJob
{
    QByteArray path;
    FileIdentity expected;
};

struct DeflatedFile
{
    int error = 0;   // 0, or the errno that kept the file out (ESTALE: it changed)
    QString reason;  // why, for a person
    QByteArray data; // the raw deflate stream
    quint32 crc = 0;
    qint64 size = 0; // bytes read
};

// Reads and deflates one file (the work of a job).
[[nodiscard]] DeflatedFile deflateFile(const DeflateJob &job, libdeflate_compressor *compressor);

class DeflatePool
{
public:
    DeflatePool(QList<DeflateJob> jobs, int level, int workers, qint64 budgetBytes);
    ~DeflatePool();
    DeflatePool(const DeflatePool &) = delete;
    DeflatePool &operator=(const DeflatePool &) = delete;

    // The result of job `index`, once: waited for, or done here.
    [[nodiscard]] DeflatedFile take(qsizetype index);
    // The jobs that ended in an error and were not taken yet.
    [[nodiscard]] QList<qsizetype> failedSoFar() const;
    // Job `index` done again on the writer's thread (for a source opened twice).
    [[nodiscard]] DeflatedFile deflateAgain(qsizetype index);

    // The cores this process may run on.
    [[nodiscard]] static int coreCount();

private:
    enum class State : quint8 { Pending, Running, Done, Taken };
    void work();
    [[nodiscard]] bool claim(qsizetype &index);

    QList<DeflateJob> m_jobs;
    int m_level;
    qint64 m_budget;
    std::vector<State> m_state;
    std::vector<DeflatedFile> m_results;
    qsizetype m_next = 0;  // the first job a worker may still find pending
    qint64 m_inFlight = 0; // bytes of jobs running or done but not taken
    bool m_stop = false;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::thread> m_workers;
    libdeflate_compressor *m_writerCompressor = nullptr;
};

// A libzip source over one job of a pool.
class DeflatedSource
{
public:
    struct Hooks
    {
        std::function<bool()> opened; // writing starts; false cancels the archive
    };

    DeflatedSource(DeflatePool &pool, qsizetype job, const DeflateJob &file, Hooks hooks);
    ~DeflatedSource();
    DeflatedSource(const DeflatedSource &) = delete;
    DeflatedSource &operator=(const DeflatedSource &) = delete;

    // A source for zip_file_add(); the archive owns it from then on.
    [[nodiscard]] zip_source_t *create(zip_t *archive);
    // Takes its bytes from job `job` of another pool (a commit tried again).
    void rebind(DeflatePool &pool, qsizetype job);

    [[nodiscard]] quint32 crc() const { return m_result.crc; }
    [[nodiscard]] qint64 bytesRead() const { return m_result.size; }
    [[nodiscard]] int error() const { return m_error; }
    [[nodiscard]] QString reason() const { return m_result.reason; }

private:
    static zip_int64_t callback(void *self, void *data, zip_uint64_t length, zip_source_cmd_t cmd);
    [[nodiscard]] bool fetch();
    zip_int64_t fail(int error);

    DeflatePool *m_pool;
    qsizetype m_job;
    DeflateJob m_file;
    Hooks m_hooks;
    bool m_fetched = false;
    DeflatedFile m_result;
    qint64 m_deflatedSize = 0;
    qint64 m_offset = 0;
    int m_error = 0;
    zip_error_t m_zipError;
};

} // namespace clarivex::cleaning
