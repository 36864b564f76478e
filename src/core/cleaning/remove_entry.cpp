#include "core/cleaning/remove_entry.h"

#include "core/cleaning/parent_folder.h"

#include <QList>

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex::cleaning {

namespace {

// Empties and removes the folder `name` of `parentFd`; 0 or errno.
int removeTreeAt(int parentFd, const char *name)
{
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno;
    DIR *dir = ::fdopendir(fd); // owns fd from here
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    int error = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, "..")) continue;
        struct stat st;
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            error = errno;
            break;
        }
        const int failed = S_ISDIR(st.st_mode) ? removeTreeAt(fd, entry->d_name)
                                               : (::unlinkat(fd, entry->d_name, 0) ? errno : 0);
        if (failed != 0) {
            error = failed;
            break;
        }
    }
    ::closedir(dir);
    if (error == 0 && ::unlinkat(parentFd, name, AT_REMOVEDIR) != 0) error = errno;
    return error;
}

} // namespace

EntryResult removeEntry(const QByteArray &path, bool allowFolders,
                        const std::optional<FileIdentity> &expected)
{
    OpenEntry entry;
    EntryResult opened = openEntry(path, expected, entry);
    if (!opened.ok()) return opened;
    if (S_ISDIR(entry.st.st_mode)) {
        if (!allowFolders) return EntryResult::refused(EISDIR, QStringLiteral("is a folder"));
        const int error = removeTreeAt(entry.folder.get(), entry.name.constData());
        return error == 0 ? EntryResult::done() : EntryResult::failed(error);
    }
    if (::unlinkat(entry.folder.get(), entry.name.constData(), 0) != 0)
        return EntryResult::failed(errno);
    return EntryResult::done();
}

int removeFilesWhere(int folderFd, const std::function<bool(const QByteArray &name)> &stale)
{
    const int own = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) return 0;
    DIR *dir = ::fdopendir(own);
    if (!dir) {
        ::close(own);
        return 0;
    }
    ::rewinddir(dir);
    QList<QByteArray> picked;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (stale(name)) picked << name;
    }
    ::closedir(dir);
    int removed = 0;
    for (const QByteArray &name : std::as_const(picked)) {
        struct stat st;
        if (::fstatat(folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && ::unlinkat(folderFd, name.constData(), 0) == 0)
            ++removed;
    }
    return removed;
}

} // namespace clarivex::cleaning
