#pragma once

// A libzip data source over one file of the clean. The file is opened only
// when the archive is written (so a clean of many files holds one descriptor
// at a time), never through a link, and only while it is still the file that
// was listed. The bytes read are counted and their CRC-32 kept, so the entry
// can be checked against exactly what was read.

#include "core/cleaning/file_identity.h"

#include <QByteArray>

#include <functional>

#include <zip.h>

namespace clarivex::cleaning {

class ZipFileSource
{
public:
    struct Hooks
    {
        std::function<void()> opened;               // reading starts
        std::function<bool(qint64 bytesRead)> read; // false cancels the archive
    };

    ZipFileSource(QByteArray path, const FileIdentity &expected, Hooks hooks);
    ~ZipFileSource();
    ZipFileSource(const ZipFileSource &) = delete;
    ZipFileSource &operator=(const ZipFileSource &) = delete;

    // A source for zip_file_add(); the archive owns it from then on.
    [[nodiscard]] zip_source_t *create(zip_t *archive);

    [[nodiscard]] bool complete() const { return m_complete; }
    [[nodiscard]] quint32 crc() const { return m_crc; }
    [[nodiscard]] qint64 bytesRead() const { return m_read; }
    [[nodiscard]] int error() const { return m_error; } // errno that stopped the read, else 0

private:
    static zip_int64_t callback(void *self, void *data, zip_uint64_t length, zip_source_cmd_t cmd);
    zip_int64_t open();
    zip_int64_t read(void *data, zip_uint64_t length);
    zip_int64_t fail(int error);
    void closeFile();

    QByteArray m_path;
    FileIdentity m_expected;
    Hooks m_hooks;
    int m_fd = -1;
    quint32 m_crc = 0;
    qint64 m_read = 0;
    bool m_complete = false;
    int m_error = 0;
    zip_error_t m_zipError;
};

} // namespace clarivex::cleaning
