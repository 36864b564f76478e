#pragma once

// Helpers shared by the cleaning tests: file contents, a small volume of its
// own (a tmpfs in a private mount namespace, where the test may mount one),
// and a child process that runs a piece of work and may be killed in it.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <functional>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace clarivex::test {

// The whole file, read by its byte path (names need not be UTF-8).
inline QByteArray readBytes(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "<missing>";
    QByteArray content;
    char buffer[65536];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, got);
    ::close(fd);
    return content;
}

inline bool exists(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

// Names in a folder as bytes, sorted, hidden ones included.
inline QList<QByteArray> namesIn(const QByteArray &folder)
{
    QList<QByteArray> names;
    if (DIR *dir = ::opendir(folder.constData())) {
        while (const dirent *entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..") names << name;
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Mounts a tmpfs of `kilobytes` on `folder`, visible to this process only.
// False where the test may not mount (no privilege, no namespaces).
inline bool mountSmallVolume(const QByteArray &folder, int kilobytes)
{
    static const bool privateNamespace =
        ::unshare(CLONE_NEWNS) == 0 &&
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    if (!privateNamespace) return false;
    QDir().mkpath(QFile::decodeName(folder));
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0755";
    return ::mount("tmpfs", folder.constData(), "tmpfs", 0, options.constData()) == 0;
}

inline void unmountVolume(const QByteArray &folder)
{
    ::umount2(folder.constData(), MNT_DETACH);
}

// Runs `work` in a forked child, which ends with _exit(work's result). The
// wait status, or -1 when the child had to be killed after `timeoutMs`.
inline int runInChild(const std::function<int()> &work, int timeoutMs = 5000)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::_exit(work());
    }
    if (pid < 0) return -1;
    QElapsedTimer clock;
    clock.start();
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (clock.elapsed() > timeoutMs) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        QThread::msleep(5);
    }
    return status;
}

// A limit on the size of files the child may write.
inline void limitFileSize(rlim_t bytes)
{
    const struct rlimit limit
    {
        bytes, bytes
    };
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

} // namespace clarivex::test
