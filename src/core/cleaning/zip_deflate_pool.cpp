#include "core/cleaning/zip_deflate_pool.h"

#include "core/cleaning/unique_fd.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <libdeflate.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex::cleaning {

namespace {

DeflatedFile failure(int error, const QString &reason = {})
{
    DeflatedFile result;
    result.error = error;
    result.reason = reason.isEmpty() ? QString::fromLocal8Bit(std::strerror(error)) : reason;
    return result;
}

struct Compressor
{
    explicit Compressor(int level) : handle(libdeflate_alloc_compressor(level)) {}
    ~Compressor() { libdeflate_free_compressor(handle); }
    Compressor(const Compressor &) = delete;
    Compressor &operator=(const Compressor &) = delete;
    libdeflate_compressor *handle;
};

} // namespace

DeflatedFile deflateFile(const DeflateJob &job, libdeflate_compressor *compressor)
{
    const UniqueFd fd(
        ::open(job.path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) return failure(errno);
    if (!S_ISREG(st.st_mode)) return failure(ESTALE, QStringLiteral("replaced by a special file"));
    const QString changed = identityMismatch(job.expected, FileIdentity::fromStat(st));
    if (!changed.isEmpty()) return failure(ESTALE, changed);
    // One byte more than expected shows a file that grew.
    QByteArray bytes(qsizetype(job.expected.size) + 1, Qt::Uninitialized);
    qint64 got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failure(errno);
        if (n == 0) break;
        got += n;
    }
    if (got != job.expected.size || ::fstat(fd.get(), &st) != 0 ||
        !identityMismatch(job.expected, FileIdentity::fromStat(st)).isEmpty())
        return failure(ESTALE, QStringLiteral("changed while it was archived"));
    DeflatedFile result;
    result.size = got;
    result.crc = quint32(libdeflate_crc32(0, bytes.constData(), size_t(got)));
    const size_t bound = libdeflate_deflate_compress_bound(compressor, size_t(got));
    result.data.resize(qsizetype(bound));
    const size_t written = libdeflate_deflate_compress(compressor, bytes.constData(), size_t(got),
                                                       result.data.data(), bound);
    if (written == 0) return failure(ENOMEM);
    result.data.truncate(qsizetype(written));
    return result;
}

int DeflatePool::coreCount()
{
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return qMax(1, CPU_COUNT(&set));
    return qMax(1, int(std::thread::hardware_concurrency()));
}

DeflatePool::DeflatePool(QList<DeflateJob> jobs, int level, int workers, qint64 budgetBytes)
    : m_jobs(std::move(jobs)), m_level(level), m_budget(budgetBytes),
      m_state(size_t(m_jobs.size()), State::Pending), m_results(size_t(m_jobs.size()))
{
    // One core: the writer does every job itself, with no thread to switch to.
    if (workers < 2) return;
    for (int i = 0; i < workers; ++i)
        m_workers.emplace_back([this] { work(); });
}

DeflatePool::~DeflatePool()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
    libdeflate_free_compressor(m_writerCompressor);
}

bool DeflatePool::claim(qsizetype &index)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_stop) return false;
        while (m_next < m_jobs.size() && m_state[size_t(m_next)] != State::Pending)
            ++m_next;
        if (m_next >= m_jobs.size()) return false;
        const qint64 size = m_jobs[m_next].expected.size;
        if (m_inFlight == 0 || m_inFlight + size <= m_budget) {
            index = m_next++;
            m_state[size_t(index)] = State::Running;
            m_inFlight += size;
            return true;
        }
        m_changed.wait(lock);
    }
}

void DeflatePool::work()
{
    Compressor compressor(m_level);
    qsizetype index = 0;
    while (claim(index)) {
        DeflatedFile result = deflateFile(m_jobs[index], compressor.handle);
        {
            const std::lock_guard lock(m_mutex);
            m_results[size_t(index)] = std::move(result);
            m_state[size_t(index)] = State::Done;
        }
        m_changed.notify_all();
    }
}

DeflatedFile DeflatePool::take(qsizetype index)
{
    std::unique_lock lock(m_mutex);
    const qint64 size = m_jobs[index].expected.size;
    if (m_state[size_t(index)] == State::Pending) {
        m_state[size_t(index)] = State::Running;
        lock.unlock();
        DeflatedFile result = deflateAgain(index);
        lock.lock();
        m_state[size_t(index)] = State::Taken;
        return result;
    }
    m_changed.wait(lock, [&] { return m_state[size_t(index)] != State::Running; });
    if (m_state[size_t(index)] == State::Taken) return failure(EALREADY);
    m_state[size_t(index)] = State::Taken;
    m_inFlight -= size;
    DeflatedFile result = std::move(m_results[size_t(index)]);
    lock.unlock();
    m_changed.notify_all();
    return result;
}

DeflatedFile DeflatePool::deflateAgain(qsizetype index)
{
    if (!m_writerCompressor) m_writerCompressor = libdeflate_alloc_compressor(m_level);
    return deflateFile(m_jobs[index], m_writerCompressor);
}

QList<qsizetype> DeflatePool::failedSoFar() const
{
    const std::lock_guard lock(m_mutex);
    QList<qsizetype> failed;
    for (qsizetype i = 0; i < m_jobs.size(); ++i) {
        if (m_state[size_t(i)] == State::Done && m_results[size_t(i)].error != 0) failed << i;
    }
    return failed;
}

DeflatedSource::DeflatedSource(DeflatePool &pool, qsizetype job, const DeflateJob &file,
                               Hooks hooks)
    : m_pool(&pool), m_job(job), m_file(file), m_hooks(std::move(hooks))
{
    zip_error_init(&m_zipError);
}

DeflatedSource::~DeflatedSource()
{
    zip_error_fini(&m_zipError);
}

void DeflatedSource::rebind(DeflatePool &pool, qsizetype job)
{
    m_pool = &pool;
    m_job = job;
    m_fetched = false;
    m_error = 0;
    m_result = {};
    zip_error_fini(&m_zipError);
    zip_error_init(&m_zipError);
}

zip_source_t *DeflatedSource::create(zip_t *archive)
{
    return zip_source_function(archive, &DeflatedSource::callback, this);
}

zip_int64_t DeflatedSource::fail(int error)
{
    m_error = error;
    zip_error_set(&m_zipError, error == ECANCELED ? ZIP_ER_CANCELLED : ZIP_ER_READ, error);
    return -1;
}

bool DeflatedSource::fetch()
{
    if (!m_fetched) {
        m_result = m_pool->take(m_job);
        m_fetched = true;
        m_deflatedSize = m_result.data.size();
    } else if (m_result.error == 0 && m_result.data.size() != m_deflatedSize) {
        // Opened again after its bytes were let go: read the file again.
        const quint32 crc = m_result.crc;
        m_result = m_pool->deflateAgain(m_job);
        if (m_result.error == 0 && (m_result.crc != crc || m_result.data.size() != m_deflatedSize))
            m_result = DeflatedFile{ESTALE, QStringLiteral("changed while it was archived")};
    }
    if (m_result.error == 0) return true;
    (void)fail(m_result.error);
    return false;
}

zip_int64_t DeflatedSource::callback(void *self, void *data, zip_uint64_t length,
                                     zip_source_cmd_t cmd)
{
    auto *source = static_cast<DeflatedSource *>(self);
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
        if (!source->fetch()) return -1;
        source->m_offset = 0;
        if (source->m_hooks.opened && !source->m_hooks.opened()) return source->fail(ECANCELED);
        return 0;
    case ZIP_SOURCE_READ: {
        const qint64 left = source->m_result.data.size() - source->m_offset;
        const qint64 n = qMin<qint64>(left, qint64(length));
        std::memcpy(data, source->m_result.data.constData() + source->m_offset, size_t(n));
        source->m_offset += n;
        return n;
    }
    case ZIP_SOURCE_CLOSE:
        source->m_result.data = QByteArray(); // the entry is written: let its bytes go
        return 0;
    case ZIP_SOURCE_STAT: {
        if (!source->m_fetched ? !source->fetch() : source->m_result.error != 0) return -1;
        auto *st = static_cast<zip_stat_t *>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                    ZIP_STAT_MTIME | ZIP_STAT_ENCRYPTION_METHOD;
        st->size = zip_uint64_t(source->m_result.size);
        st->comp_size = zip_uint64_t(source->m_deflatedSize);
        st->comp_method = ZIP_CM_DEFLATE;
        st->encryption_method = ZIP_EM_NONE;
        st->crc = source->m_result.crc;
        st->mtime = time_t(source->m_file.expected.modified / 1000000000);
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&source->m_zipError, data, length);
    case ZIP_SOURCE_FREE:
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
    default:
        break;
    }
    zip_error_set(&source->m_zipError, ZIP_ER_OPNOTSUPP, 0);
    return -1;
}

} // namespace clarivex::cleaning
