#include "core/base/file_facts.h"

#include "core/base/path_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex {

quint32 fileAttributes(const struct statx &st, const char *name, uid_t user)
{
    quint32 attributes = faArchive;
    if (!(st.stx_mode & S_IWUSR)) attributes |= faReadOnly;
    if (name[0] == '.') attributes |= faHidden;
    if (st.stx_uid != user) attributes |= faSysFile;
    return attributes;
}

std::optional<TFindData> ReadFindData(const QByteArray &path)
{
    struct statx info
    {
    };
    if (path.isEmpty() || ::statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                                  STATX_BASIC_STATS | STATX_BTIME, &info) != 0)
        return std::nullopt;
    const mode_t type = info.stx_mode & S_IFMT;
    if (type != S_IFREG && type != S_IFDIR && type != S_IFLNK)
        return std::nullopt; // sockets, FIFOs and devices are never files here
    TFindData data;
    const QByteArray trimmed = withoutTrailingSlashes(path);
    data.name = trimmed.mid(trimmed.lastIndexOf('/') + 1);
    data.isSymlink = type == S_IFLNK;
    data.size = qint64(info.stx_size);
    data.lastWriteTime = nanoseconds(info.stx_mtime);
    data.lastAccessTime = nanoseconds(info.stx_atime);
    data.creationTime =
        (info.stx_mask & STATX_BTIME) ? nanoseconds(info.stx_btime) : nanoseconds(info.stx_ctime);
    data.attributes = fileAttributes(info, data.name.constData(), ::geteuid());
    if (type == S_IFDIR) data.attributes |= faDirectory;
    return data;
}

} // namespace clarivex
