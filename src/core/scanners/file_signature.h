#pragma once

// The quick signature of a duplicate candidate and the byte-for-byte test
// that decides equal content. The signature only rules files out: two files
// with different signatures differ, two with the same one are still compared
// byte for byte. Files are read with pread (never mapped: a file cut short
// while it is compared would kill the program through a mapping).

#include <QByteArray>

#include <functional>

#include <sys/types.h>

namespace clarivex {

// Who a path leads to: a file reached by two paths (hard links, a bind mount)
// has one identity.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

// A candidate opened for comparing: read-only, never through a symbolic
// link; valid only while it is a regular file of the expected size.
class CandidateFile
{
public:
    CandidateFile() = default;
    CandidateFile(const QByteArray &path, qint64 expectedSize);
    // `name` (NUL-terminated) in the open folder `dirFd`: one name looked up
    // instead of a whole path.
    CandidateFile(int dirFd, const char *name, qint64 expectedSize);
    ~CandidateFile();
    CandidateFile(CandidateFile &&other) noexcept;
    CandidateFile &operator=(CandidateFile &&other) noexcept;
    CandidateFile(const CandidateFile &) = delete;
    CandidateFile &operator=(const CandidateFile &) = delete;

    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }
    [[nodiscard]] int fd() const { return m_fd; }
    [[nodiscard]] FileIdentity identity() const { return m_identity; }
    [[nodiscard]] qint64 modifiedSeconds() const { return m_modified; }

private:
    void take(int fd, qint64 expectedSize);

    int m_fd = -1;
    FileIdentity m_identity;
    qint64 m_modified = 0; // seconds since 1970
};

// The local time of `seconds` (since 1970) as a packed DOS date-time: date in
// the high 16 bits (years since 1980, month, day), time in the low 16 bits
// (hours, minutes, seconds / 2).
[[nodiscard]] quint32 dosDateTime(qint64 seconds);

// The signature of an open file of `size` bytes: with `byDateTime` its
// modification time as a DOS date-time, else the wrapping sum of its first
// size/4 (at most 128) little-endian 32-bit words. Top bit cleared; 0 for an
// empty file or one that cannot be read.
[[nodiscard]] qint32 FileSignature(qint64 size, const CandidateFile &file, bool byDateTime);
[[nodiscard]] qint32 FileSignature(qint64 size, const QByteArray &path, bool byDateTime);

// pread until `length` bytes are in or the file ends: the bytes read, or -1
// on a read error.
[[nodiscard]] qsizetype readFully(int fd, char *buffer, qsizetype length, qint64 offset);

// Whether the first `size` bytes of both files are equal, read in blocks.
// False when a read fails or comes up short (the file changed), or when
// `keepGoing` answers false between blocks (a stop).
[[nodiscard]] bool sameContent(const CandidateFile &a, const CandidateFile &b, qint64 size,
                               const std::function<bool()> &keepGoing = {});

// Two paths with equal content: both regular files of `size` bytes, two
// different files (never two paths to one file), equal byte for byte.
[[nodiscard]] bool FilesAreDuplicates(qint64 size, const QByteArray &master,
                                      const QByteArray &candidate);

} // namespace clarivex
