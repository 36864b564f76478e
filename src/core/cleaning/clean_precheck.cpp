#include "core/cleaning/clean_precheck.h"

#include "core/cleaning/entry_names.h"
#include "core/cleaning/unique_fd.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace clarivex::cleaning {

namespace {

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Whether the entry open as `fd` (a folder, or a file opened for reading)
// carries the immutable or append-only flag, which no owner or root may
// unlink or rename. A file system without flags answers no.
bool lockedByFlags(int fd)
{
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) return false;
    return flags & (FS_IMMUTABLE_FL | FS_APPEND_FL);
}

// The trash folder a file of `folder` would go to exists as this user's, or
// can be made: what moveToTrash finds or makes, without making it.
bool trashAvailable(int folderFd, const QByteArray &folder, const TrashPlaces &places)
{
    struct stat st;
    if (::fstat(folderFd, &st) != 0) return false;
    const auto usable = [&](const QByteArray &trash) {
        struct stat there;
        if (::lstat(trash.constData(), &there) == 0)
            return S_ISDIR(there.st_mode) && there.st_uid == places.user &&
                   ::access(trash.constData(), W_OK | X_OK) == 0;
        const QByteArray parent = splitPath(trash).folder;
        return errno == ENOENT && ::access(parent.constData(), W_OK | X_OK) == 0;
    };
    if (places.onHomeVolume(st.st_dev)) {
        // Missing folders above the home Trash are made by the real run.
        QByteArray trash = places.homeTrash;
        struct stat there;
        while (::lstat(trash.constData(), &there) != 0 && errno == ENOENT && trash != "/") {
            const QByteArray up = splitPath(trash).folder;
            if (::lstat(up.constData(), &there) == 0) return usable(trash);
            trash = up;
        }
        return usable(trash);
    }
    const QByteArray top = places.topDirectory(folder);
    const QByteArray uid = QByteArray::number(places.user);
    struct stat shared;
    const QByteArray sharedTrash = joinPath(top, ".Trash");
    if (::lstat(sharedTrash.constData(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX) && usable(joinPath(sharedTrash, uid)))
        return true;
    return usable(joinPath(top, ".Trash-" + uid));
}

} // namespace

QString backupFolderRefusal(const QByteArray &folder)
{
    QByteArray existing = folder;
    struct stat st;
    while (::stat(existing.constData(), &st) != 0) {
        if (errno != ENOENT || existing == "/" || existing.isEmpty()) return systemText(errno);
        existing = splitPath(existing).folder;
    }
    if (!S_ISDIR(st.st_mode)) return systemText(ENOTDIR);
    struct statvfs volume;
    if (::statvfs(existing.constData(), &volume) == 0 && (volume.f_flag & ST_RDONLY))
        return systemText(EROFS);
    if (::access(existing.constData(), W_OK | X_OK) != 0) return systemText(errno);
    return {};
}

QString cleanRefusal(const QByteArray &path, const std::optional<TrashPlaces> &trash)
{
    const PathParts parts = splitPath(path);
    const UniqueFd folder(::open(parts.folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) return systemText(errno);
    struct statvfs volume;
    if (::fstatvfs(folder.get(), &volume) == 0 && (volume.f_flag & ST_RDONLY))
        return systemText(EROFS);
    if (::faccessat(folder.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) return systemText(errno);
    if (lockedByFlags(folder.get())) return systemText(EPERM);
    const UniqueFd file(::openat(folder.get(), parts.name.constData(),
                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.valid() && lockedByFlags(file.get())) return systemText(EPERM);
    if (trash && !trashAvailable(folder.get(), parts.folder, *trash))
        return QStringLiteral("no usable Trash on its volume");
    return {};
}

} // namespace clarivex::cleaning
