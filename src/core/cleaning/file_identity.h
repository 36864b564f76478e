#pragma once

// What the scan saw of a file, and the test that it is still that file. A
// clean acts on a path only while the entry there is the same object: same
// device and inode (when the scan recorded them), same kind, size and
// modification time. Anything else (another file put in its place, a
// symbolic link where a file was, a file that changed) is left alone.

#include <QByteArray>
#include <QString>

#include <optional>

#include <sys/stat.h>
#include <sys/types.h>

namespace clarivex::cleaning {

enum class FileKind : quint8 { Regular, Symlink, Directory, Other };

struct FileIdentity
{
    dev_t device = 0; // 0 with inode 0: not recorded, only kind, size and time are compared
    ino_t inode = 0;
    FileKind kind = FileKind::Regular;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds since 1970 UTC

    [[nodiscard]] bool hasInode() const { return device != 0 || inode != 0; }
    [[nodiscard]] static FileIdentity fromStat(const struct stat &st);
};

[[nodiscard]] FileKind kindOf(mode_t mode);

// The entry itself (never followed); nullopt with errno set when it cannot be read.
[[nodiscard]] std::optional<FileIdentity> readIdentity(const QByteArray &path);
[[nodiscard]] std::optional<FileIdentity> readIdentityAt(int dirFd, const char *name);

// Empty when `now` is what the scan saw, else why not ("replaced by a
// symbolic link", "size changed since the scan", ...).
[[nodiscard]] QString identityMismatch(const FileIdentity &seen, const FileIdentity &now);

} // namespace clarivex::cleaning
