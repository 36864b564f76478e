#include "core/cleaning/zip_file_source.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace clarivex::cleaning {

ZipFileSource::ZipFileSource(QByteArray path, const FileIdentity &expected, Hooks hooks)
    : m_path(std::move(path)), m_expected(expected), m_hooks(std::move(hooks))
{
    zip_error_init(&m_zipError);
}

ZipFileSource::~ZipFileSource()
{
    closeFile();
    zip_error_fini(&m_zipError);
}

zip_source_t *ZipFileSource::create(zip_t *archive)
{
    return zip_source_function(archive, &ZipFileSource::callback, this);
}

void ZipFileSource::closeFile()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

zip_int64_t ZipFileSource::fail(int error)
{
    m_error = error;
    zip_error_set(&m_zipError, error == ECANCELED ? ZIP_ER_CANCELLED : ZIP_ER_READ, error);
    return -1;
}

zip_int64_t ZipFileSource::open()
{
    closeFile();
    m_crc = quint32(crc32(0, nullptr, 0));
    m_read = 0;
    m_complete = false;
    // Non-blocking: a named pipe put in the file's place must not stall the clean.
    m_fd = ::open(m_path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return fail(errno);
    if (!S_ISREG(st.st_mode)) return fail(ESTALE);
    if (!identityMismatch(m_expected, FileIdentity::fromStat(st)).isEmpty()) return fail(ESTALE);
    if (m_hooks.opened) m_hooks.opened();
    return 0;
}

zip_int64_t ZipFileSource::read(void *data, zip_uint64_t length)
{
    ssize_t got;
    do {
        got = ::read(m_fd, data, size_t(length));
    } while (got < 0 && errno == EINTR);
    if (got < 0) return fail(errno);
    if (got == 0) {
        // The file must end where it ended when it was listed.
        if (m_read != m_expected.size) return fail(ESTALE);
        m_complete = true;
        return 0;
    }
    m_crc = quint32(crc32(m_crc, static_cast<const Bytef *>(data), uInt(got)));
    m_read += got;
    if (m_hooks.read && !m_hooks.read(m_read)) return fail(ECANCELED);
    return got;
}

zip_int64_t ZipFileSource::callback(void *self, void *data, zip_uint64_t length,
                                    zip_source_cmd_t cmd)
{
    auto *source = static_cast<ZipFileSource *>(self);
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
        return source->open();
    case ZIP_SOURCE_READ:
        return source->read(data, length);
    case ZIP_SOURCE_CLOSE:
        source->closeFile();
        return 0;
    case ZIP_SOURCE_STAT: {
        auto *st = static_cast<zip_stat_t *>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        st->size = zip_uint64_t(source->m_expected.size);
        st->mtime = time_t(source->m_expected.modified / 1000000000);
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
