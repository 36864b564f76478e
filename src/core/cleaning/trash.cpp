#include "core/cleaning/trash.h"

#include "core/cleaning/entry_names.h"
#include "core/cleaning/parent_folder.h"
#include "core/cleaning/pending_file.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex::cleaning {

namespace {

struct TrashFolder
{
    UniqueFd files;
    UniqueFd info;
    QByteArray path;     // the trash folder ("$topdir/.Trash-1000")
    QByteArray pathBase; // "Path" values are relative to this; empty: absolute
};

// Opens (making it 0700 when missing) a folder of `parentFd` that must be a
// real folder owned by `user`; invalid otherwise.
UniqueFd openOwnedFolder(int parentFd, const QByteArray &name, uid_t user, bool followLink = false)
{
    if (::mkdirat(parentFd, name.constData(), 0700) != 0 && errno != EEXIST) return {};
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    UniqueFd fd(::openat(parentFd, name.constData(), flags));
    struct stat st;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || st.st_uid != user) return {};
    return fd;
}

std::optional<TrashFolder> openTrashIn(int parentFd, const QByteArray &name, uid_t user,
                                       bool followLink)
{
    TrashFolder trash;
    const UniqueFd root = openOwnedFolder(parentFd, name, user, followLink);
    if (!root.valid()) return std::nullopt;
    trash.files = openOwnedFolder(root.get(), "files", user);
    trash.info = openOwnedFolder(root.get(), "info", user);
    if (!trash.files.valid() || !trash.info.valid()) return std::nullopt;
    return trash;
}

std::optional<TrashFolder> homeTrash(const TrashPlaces &places)
{
    const PathParts parts = splitPath(places.homeTrash);
    QDir().mkpath(QFile::decodeName(parts.folder)); // $XDG_DATA_HOME of a new account
    const UniqueFd parent = openFolder(parts.folder);
    if (!parent.valid()) return std::nullopt;
    std::optional<TrashFolder> trash = openTrashIn(parent.get(), parts.name, places.user, true);
    if (trash) trash->path = places.homeTrash;
    return trash;
}

std::optional<TrashFolder> volumeTrash(const TrashPlaces &places, const QByteArray &top)
{
    const UniqueFd topFd = openFolder(top);
    if (!topFd.valid()) return std::nullopt;
    const QByteArray uid = QByteArray::number(places.user);
    std::optional<TrashFolder> trash;
    const UniqueFd shared(
        ::openat(topFd.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (shared.valid() && ::fstat(shared.get(), &st) == 0 && (st.st_mode & S_ISVTX)) {
        trash = openTrashIn(shared.get(), uid, places.user, false);
        if (trash) trash->path = joinPath(top, ".Trash/" + uid);
    }
    if (!trash) {
        trash = openTrashIn(topFd.get(), ".Trash-" + uid, places.user, false);
        if (trash) trash->path = joinPath(top, ".Trash-" + uid);
    }
    if (trash) trash->pathBase = top;
    return trash;
}

// The "Path" value: relative to the volume's top folder for a volume trash
// when the file lies below it, else absolute.
QByteArray infoPath(const QByteArray &path, const QByteArray &base)
{
    if (base.isEmpty()) return path;
    const QByteArray prefix = base.endsWith('/') ? base : base + '/';
    return path.startsWith(prefix) ? path.mid(prefix.size()) : path;
}

// Name lengths are limited: a trash name leaves room for ".trashinfo".
QByteArray trashName(const QByteArray &name, int n)
{
    constexpr qsizetype kRoom = NAME_MAX - 10 - 16;
    const QByteArray shortened = name.size() > kRoom ? name.left(kRoom) : name;
    return collisionName(shortened, n);
}

EntryResult writeInfo(int infoFd, const QByteArray &infoName, const QByteArray &text)
{
    const UniqueFd fd(::openat(infoFd, infoName.constData(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) return EntryResult::failed(errno);
    if (::write(fd.get(), text.constData(), size_t(text.size())) != text.size()) {
        const int error = errno ? errno : EIO;
        ::unlinkat(infoFd, infoName.constData(), 0);
        return EntryResult::failed(error, QStringLiteral("trash information"));
    }
    return EntryResult::done();
}

TrashResult moveInto(const OpenEntry &entry, const QByteArray &path, const TrashFolder &trash,
                     const QDateTime &now)
{
    const QByteArray text = trashInfoText(infoPath(path, trash.pathBase), now);
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QByteArray name = trashName(entry.name, n);
        const QByteArray infoName = name + ".trashinfo";
        const EntryResult info = writeInfo(trash.info.get(), infoName, text);
        if (info.error == EEXIST) continue;
        if (!info.ok()) return {info, {}, false};
        const int error = renameNoReplace(entry.folder.get(), entry.name, trash.files.get(), name);
        if (error == 0)
            return {EntryResult::done(joinPath(trash.path, "files/" + name)),
                    joinPath(trash.path, "info/" + infoName), false};
        ::unlinkat(trash.info.get(), infoName.constData(), 0);
        if (error == EXDEV) return {EntryResult::failed(error), {}, true};
        if (error != EEXIST) return {EntryResult::failed(error), {}, false};
    }
    return {EntryResult::failed(EEXIST), {}, false};
}

} // namespace

QByteArray trashInfoText(const QByteArray &path, const QDateTime &deleted)
{
    return "[Trash Info]\nPath=" + path.toPercentEncoding("/") + "\nDeletionDate=" +
           deleted.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + '\n';
}

QByteArray mountTopOf(const QByteArray &folder)
{
    char resolved[PATH_MAX];
    if (!::realpath(folder.constData(), resolved)) return folder;
    QByteArray top(resolved);
    struct stat st;
    if (::stat(resolved, &st) != 0) return top;
    while (top != "/") {
        const QByteArray up = splitPath(top).folder;
        struct stat upSt;
        if (::stat(up.constData(), &upSt) != 0 || upSt.st_dev != st.st_dev) break;
        top = up;
    }
    return top;
}

TrashPlaces TrashPlaces::forCurrentUser()
{
    TrashPlaces places;
    QByteArray data = qgetenv("XDG_DATA_HOME");
    if (data.isEmpty() || !data.startsWith('/')) data = qgetenv("HOME") + "/.local/share";
    places.homeTrash = data + "/Trash";
    places.user = ::getuid();
    places.onHomeVolume = [data](dev_t device) {
        struct stat st;
        const QByteArray probe = ::stat(data.constData(), &st) == 0 ? data : qgetenv("HOME");
        return ::stat(probe.constData(), &st) == 0 && st.st_dev == device;
    };
    places.topDirectory = mountTopOf;
    return places;
}

TrashResult moveToTrash(const QByteArray &path, const TrashPlaces &places,
                        const std::optional<FileIdentity> &expected, const QDateTime &now)
{
    OpenEntry entry;
    EntryResult opened = openEntry(path, expected, entry);
    if (!opened.ok()) return {opened, {}, false};
    const QByteArray full =
        path.startsWith('/')
            ? joinPath(entry.folderPath, entry.name)
            : QFile::encodeName(QDir::current().absoluteFilePath(QFile::decodeName(path)));
    std::optional<TrashFolder> trash =
        places.onHomeVolume(entry.st.st_dev)
            ? homeTrash(places)
            : volumeTrash(places, places.topDirectory(entry.folderPath));
    if (!trash)
        return {EntryResult::refused(ENOTSUP, QStringLiteral("no usable Trash on its volume")),
                {},
                true};
    return moveInto(entry, full, *trash, now);
}

} // namespace clarivex::cleaning
