#include "core/cleaning/file_identity.h"

#include <fcntl.h>

namespace clarivex::cleaning {

FileKind kindOf(mode_t mode)
{
    if (S_ISREG(mode)) return FileKind::Regular;
    if (S_ISLNK(mode)) return FileKind::Symlink;
    if (S_ISDIR(mode)) return FileKind::Directory;
    return FileKind::Other;
}

FileIdentity FileIdentity::fromStat(const struct stat &st)
{
    FileIdentity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.kind = kindOf(st.st_mode);
    id.size = st.st_size;
    id.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

std::optional<FileIdentity> readIdentityAt(int dirFd, const char *name)
{
    struct stat st;
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return FileIdentity::fromStat(st);
}

std::optional<FileIdentity> readIdentity(const QByteArray &path)
{
    return readIdentityAt(AT_FDCWD, path.constData());
}

static QString kindName(FileKind kind)
{
    switch (kind) {
    case FileKind::Regular:
        return QStringLiteral("another file");
    case FileKind::Symlink:
        return QStringLiteral("a symbolic link");
    case FileKind::Directory:
        return QStringLiteral("a folder");
    case FileKind::Other:
        break;
    }
    return QStringLiteral("a special file");
}

QString identityMismatch(const FileIdentity &seen, const FileIdentity &now)
{
    if (now.kind != seen.kind) return QStringLiteral("replaced by ") + kindName(now.kind);
    if (seen.hasInode() && (now.device != seen.device || now.inode != seen.inode))
        return QStringLiteral("replaced by ") + kindName(now.kind) +
               QStringLiteral(" since the scan");
    if (now.size != seen.size) return QStringLiteral("size changed since the scan");
    if (now.modified != seen.modified) return QStringLiteral("modified since the scan");
    return {};
}

} // namespace clarivex::cleaning
