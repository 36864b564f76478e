#include "core/cleaning/in_use.h"

#include "core/cleaning/unique_fd.h"

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace clarivex::cleaning {

namespace {

bool isNumber(const char *name)
{
    if (!*name) return false;
    for (; *name; ++name) {
        if (*name < '0' || *name > '9') return false;
    }
    return true;
}

// The files one process has open, added to `open`.
void addProcessFiles(int procFd, const char *pid, QSet<std::pair<quint64, quint64>> &open)
{
    const int fdDir =
        ::openat(procFd, (QByteArray(pid) + "/fd").constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdDir < 0) return; // gone, or not ours to see
    DIR *dir = ::fdopendir(fdDir);
    if (!dir) {
        ::close(fdDir);
        return;
    }
    while (const dirent *entry = ::readdir(dir)) {
        if (!isNumber(entry->d_name)) continue;
        struct stat st;
        if (::fstatat(fdDir, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
            open.insert({quint64(st.st_dev), quint64(st.st_ino)});
    }
    ::closedir(dir);
}

} // namespace

OpenFiles OpenFiles::snapshot(const QByteArray &procRoot)
{
    OpenFiles files;
    const int procFd = ::open(procRoot.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (procFd < 0) return files;
    DIR *dir = ::fdopendir(procFd);
    if (!dir) {
        ::close(procFd);
        return files;
    }
    while (const dirent *entry = ::readdir(dir)) {
        if (isNumber(entry->d_name)) addProcessFiles(procFd, entry->d_name, files.m_open);
    }
    ::closedir(dir);
    return files;
}

UseCheck checkUse(const QByteArray &path, const OpenFiles &open, bool needsRead)
{
    const std::optional<FileIdentity> now = readIdentity(path);
    if (!now) return {true, QString::fromLocal8Bit(std::strerror(errno))};
    return checkUse(path, *now, open, needsRead);
}

UseCheck checkUse(const QByteArray &path, const FileIdentity &now, const OpenFiles &open,
                  bool needsRead)
{
    if (now.kind == FileKind::Symlink) return {};
    if (needsRead) {
        const UniqueFd fd(
            ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd.valid()) {
            const int error = errno;
            const QString text = QString::fromLocal8Bit(std::strerror(error));
            if (error == EACCES || error == EPERM)
                return {false, QStringLiteral("cannot be read: ") + text};
            return {true, text};
        }
    }
    if (open.isOpen(now.device, now.inode))
        return {true, QStringLiteral("open in another program")};
    return {};
}

QString inUseReason(const QByteArray &path, const OpenFiles &open)
{
    return checkUse(path, open, true).reason;
}

} // namespace clarivex::cleaning
