#include "core/cleaning/duplicate_link.h"

#include "core/cleaning/parent_folder.h"
#include "core/cleaning/remove_entry.h"

#include <QList>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex::cleaning {

namespace {

constexpr QByteArrayView kPrefix = ".clarivex-link-";
constexpr int kNamesTried = 100;

// What a write to a file moves: its size, modification and change time.
struct Stamp
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    qint64 modified = 0;
    qint64 changed = 0;
    bool operator==(const Stamp &) const = default;
};

qint64 nanoseconds(const struct timespec &t)
{
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

Stamp stampOf(const struct stat &st)
{
    return {st.st_dev, st.st_ino, st.st_size, nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

LinkResult kept(const QString &reason, int error = 0)
{
    LinkResult result;
    result.reason = reason;
    result.error = error;
    result.refused = error == 0 || error == ESTALE;
    return result;
}

LinkResult failed(int error)
{
    LinkResult result;
    result.error = error;
    result.reason = QString::fromLocal8Bit(std::strerror(error));
    return result;
}

QByteArray temporaryName(int n)
{
    return kPrefix.toByteArray() + QByteArray::number(qint64(::getpid())) + '.' +
           QByteArray::number(n);
}

// A hard link of the open master under a free temporary name.
int linkTemporary(int masterFd, const OpenEntry &master, int folderFd, QByteArray &name)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(masterFd);
    struct stat opened;
    if (::fstat(masterFd, &opened) != 0) return errno;
    for (int n = 0; n < kNamesTried; ++n) {
        name = temporaryName(n);
        int made =
            ::linkat(AT_FDCWD, self.constData(), folderFd, name.constData(), AT_SYMLINK_FOLLOW);
        if (made != 0 && errno == ENOENT) // no /proc: by the master's name, checked below
            made = ::linkat(master.folder.get(), master.name.constData(), folderFd,
                            name.constData(), 0);
        if (made != 0) {
            if (errno == EEXIST) continue;
            const int error = errno;
            name.clear();
            return error;
        }
        struct stat linked;
        if (::fstatat(folderFd, name.constData(), &linked, AT_SYMLINK_NOFOLLOW) != 0 ||
            linked.st_dev != opened.st_dev || linked.st_ino != opened.st_ino) {
            (void)::unlinkat(folderFd, name.constData(), 0);
            name.clear();
            return ESTALE;
        }
        return 0;
    }
    name.clear();
    return EEXIST;
}

bool cannotShareBlocks(int error)
{
    return error == EOPNOTSUPP || error == ENOTTY || error == EINVAL || error == EXDEV ||
           error == ENOSYS;
}

// A clone of the open master with the duplicate's mode, owner and times,
// written to disk, under a free temporary name.
int cloneTemporary(int masterFd, const struct stat &duplicate, int folderFd, QByteArray &name)
{
    UniqueFd out;
    for (int n = 0; n < kNamesTried && !out.valid(); ++n) {
        name = temporaryName(n);
        out.reset(::openat(folderFd, name.constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out.valid() && errno != EEXIST) break;
    }
    if (!out.valid()) {
        const int error = errno;
        name.clear();
        return error;
    }
    int error = 0;
    struct stat made;
    if (::ioctl(out.get(), FICLONE, masterFd) != 0)
        error = errno;
    else if (::fstat(out.get(), &made) != 0)
        error = errno;
    else if ((made.st_uid != duplicate.st_uid || made.st_gid != duplicate.st_gid) &&
             ::fchown(out.get(), duplicate.st_uid, duplicate.st_gid) != 0)
        error = EPERM;
    else if (::fchmod(out.get(), duplicate.st_mode & 07777) != 0)
        error = errno;
    if (error == 0) {
        const struct timespec times[2] = {duplicate.st_atim, duplicate.st_mtim};
        if (::futimens(out.get(), times) != 0 || ::fsync(out.get()) != 0) error = errno;
    }
    if (error != 0) {
        (void)::unlinkat(folderFd, name.constData(), 0);
        name.clear();
    }
    return error;
}

} // namespace

QString linkKindName(LinkKind kind)
{
    return kind == LinkKind::Hard ? QStringLiteral("hard") : QStringLiteral("reflink");
}

std::optional<LinkKind> linkKindFromName(const QString &name)
{
    if (name == QLatin1String("hard")) return LinkKind::Hard;
    if (name == QLatin1String("reflink")) return LinkKind::Reflink;
    return std::nullopt;
}

bool isLinkTemporary(const QByteArray &name)
{
    if (!name.startsWith(kPrefix)) return false;
    const QList<QByteArray> parts = name.mid(kPrefix.size()).split('.');
    if (parts.size() != 2) return false;
    bool pidOk = false;
    bool nOk = false;
    (void)parts[0].toLongLong(&pidOk);
    (void)parts[1].toInt(&nOk);
    return pidOk && nOk;
}

int removeStaleLinkTemporaries(int folderFd)
{
    return removeFilesWhere(folderFd, [](const QByteArray &name) {
        if (!isLinkTemporary(name)) return false;
        const qint64 pid = name.mid(kPrefix.size()).split('.').first().toLongLong();
        if (pid == ::getpid()) return false;                                 // one of ours, in hand
        return !(pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM)); // else still running
    });
}

LinkResult replaceWithLink(const LinkRequest &request, const ContentCheck &check,
                           const BeforeRename &beforeRename)
{
    OpenEntry duplicate;
    const EntryResult atDuplicate = openEntry(request.duplicate, request.duplicateSeen, duplicate);
    if (!atDuplicate.ok()) return kept(atDuplicate.reason, atDuplicate.error);
    if (!S_ISREG(duplicate.st.st_mode)) return kept(QStringLiteral("not a regular file"));
    OpenEntry master;
    const EntryResult atMaster = openEntry(request.master, request.masterSeen, master);
    if (!atMaster.ok())
        return kept(QStringLiteral("its master changed since the scan: ") + atMaster.reason,
                    atMaster.error);
    if (!S_ISREG(master.st.st_mode))
        return kept(QStringLiteral("its master is not a regular file"));
    if (duplicate.st.st_dev != master.st.st_dev)
        return kept(QStringLiteral("on another volume than its master"));
    if (duplicate.st.st_ino == master.st.st_ino)
        return kept(QStringLiteral("already a link of its master"));
    if (request.kind == LinkKind::Hard) {
        if (master.st.st_uid != ::geteuid())
            return kept(QStringLiteral("its master belongs to another user"));
        if ((master.st.st_mode & S_IWUSR) == 0)
            return kept(QStringLiteral("its master is read-only"));
        if (duplicate.st.st_uid != master.st.st_uid || duplicate.st.st_gid != master.st.st_gid ||
            (duplicate.st.st_mode & 07777) != (master.st.st_mode & 07777))
            return kept(QStringLiteral("its owner or permissions differ from its master's"));
    }

    // A stale temporary may be a name of the master: it goes before the
    // master's times are noted.
    if (!request.dryRun) (void)removeStaleLinkTemporaries(duplicate.folder.get());
    const UniqueFd masterFd(::openat(master.folder.get(), master.name.constData(),
                                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (!masterFd.valid() || ::fstat(masterFd.get(), &st) != 0)
        return kept(QStringLiteral("its master changed since the scan"));
    const Stamp masterBefore = stampOf(st);
    const Stamp duplicateBefore = stampOf(duplicate.st);
    if (masterBefore.inode != master.st.st_ino || masterBefore.device != master.st.st_dev)
        return kept(QStringLiteral("its master was replaced since the scan"));

    LinkResult result;
    result.before = FileIdentity::fromStat(duplicate.st);
    if (check) {
        FileIdentity compared;
        const QString differs = check(compared);
        if (!differs.isEmpty()) return kept(differs);
        if (compared.hasInode() && compared.inode != duplicate.st.st_ino)
            return kept(QStringLiteral("changed since the scan"));
    }
    if (request.dryRun) return result;

    const int folder = duplicate.folder.get();
    const auto unchanged = [&] {
        struct stat now;
        return ::fstat(masterFd.get(), &now) == 0 && stampOf(now) == masterBefore &&
               ::fstatat(folder, duplicate.name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
               stampOf(now) == duplicateBefore;
    };
    QByteArray temporary;
    int error = 0;
    if (request.kind == LinkKind::Hard) {
        // A new name changes the master's change time: the look comes first.
        if (!unchanged()) return kept(QStringLiteral("written to while it was replaced"));
        error = linkTemporary(masterFd.get(), master, folder, temporary);
        if (error == ESTALE) return kept(QStringLiteral("its master was replaced since the scan"));
    } else {
        error = cloneTemporary(masterFd.get(), duplicate.st, folder, temporary);
        if (error == EPERM) return kept(QStringLiteral("its owner could not be kept"));
        if (cannotShareBlocks(error))
            return kept(QStringLiteral("its file system cannot share blocks (reflink)"));
        if (error == 0 && !unchanged()) {
            (void)::unlinkat(folder, temporary.constData(), 0);
            return kept(QStringLiteral("written to while it was replaced"));
        }
    }
    if (error != 0) return failed(error);
    struct stat last;
    if (::fstatat(folder, duplicate.name.constData(), &last, AT_SYMLINK_NOFOLLOW) != 0 ||
        stampOf(last) != duplicateBefore) {
        (void)::unlinkat(folder, temporary.constData(), 0);
        return kept(QStringLiteral("written to while it was replaced"));
    }
    if (beforeRename && !beforeRename(folder, temporary))
        return kept(QStringLiteral("stopped before the rename"));
    if (::renameat(folder, temporary.constData(), folder, duplicate.name.constData()) != 0) {
        error = errno;
        (void)::unlinkat(folder, temporary.constData(), 0);
        return failed(error);
    }
    result.replaced = true;
    result.now = readIdentityAt(folder, duplicate.name.constData()).value_or(FileIdentity{});
    return result;
}

} // namespace clarivex::cleaning
