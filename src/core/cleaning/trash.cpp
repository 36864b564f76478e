#include "core/cleaning/trash.h"

#include "core/cleaning/entry_names.h"
#include "core/cleaning/parent_folder.h"
#include "core/cleaning/pending_file.h"
#include "core/cleaning/trash_info_ahead.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex::cleaning {

namespace {

const QString kDiskFull = QStringLiteral("the disk is full: no room for its Trash entry");

// Why the last trash folder could not be made (0: no such error seen).
thread_local int lastFolderError = 0;

void noteFolderError(int error)
{
    lastFolderError = error;
}

bool diskFull(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

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
    if (::mkdirat(parentFd, name.constData(), 0700) != 0 && errno != EEXIST) {
        noteFolderError(errno);
        return {};
    }
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
    if (!QDir().mkpath(QFile::decodeName(parts.folder))) // $XDG_DATA_HOME of a new account
        noteFolderError(errno);
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

TrashResult moveInto(int folderFd, const QByteArray &fileName, const QByteArray &path,
                     const TrashFolder &trash, const QByteArray &text)
{
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QByteArray name = trashName(fileName, n);
        const QByteArray infoName = name + ".trashinfo";
        const EntryResult info = writeInfo(trash.info.get(), infoName, text);
        if (info.error == EEXIST) continue;
        if (diskFull(info.error)) return {EntryResult::refused(info.error, kDiskFull), {}, false};
        if (!info.ok()) return {info, {}, false};
        const int error = renameNoReplace(folderFd, fileName, trash.files.get(), name);
        if (error == 0)
            return {EntryResult::done(joinPath(trash.path, "files/" + name)),
                    joinPath(trash.path, "info/" + infoName), false};
        ::unlinkat(trash.info.get(), infoName.constData(), 0);
        if (error == EXDEV) return {EntryResult::failed(error), {}, true};
        if (error == ENOTSUP)
            return {
                EntryResult::refused(error, QStringLiteral("its Trash's file system can neither "
                                                           "rename without replacing nor make "
                                                           "hard links")),
                {},
                true};
        if (error != EEXIST) return {EntryResult::failed(error), {}, false};
    }
    return {EntryResult::failed(EEXIST), {}, false};
}

} // namespace

// The "Path" value: relative to the volume's top folder for a volume trash
// when the file lies below it, else absolute.
QByteArray infoPath(const QByteArray &path, const QByteArray &base)
{
    if (base.isEmpty()) return path;
    const QByteArray prefix = base.endsWith('/') ? base : base + '/';
    return path.startsWith(prefix) ? path.mid(prefix.size()) : path;
}

// Name lengths are limited: a trash name leaves room for ".trashinfo" and a
// " (n)". A longer name is cut in its stem, at a character boundary, and
// keeps its extension.
QByteArray trashName(const QByteArray &name, int n)
{
    constexpr qsizetype kRoom = NAME_MAX - 10 - 16;
    constexpr qsizetype kLongestExtension = 32;
    if (name.size() <= kRoom) return collisionName(name, n);
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray extension =
        dot > 0 && name.size() - dot <= kLongestExtension ? name.mid(dot) : QByteArray();
    qsizetype cut = kRoom - extension.size();
    while (cut > 0 && (uchar(name[cut]) & 0xc0) == 0x80) // inside a UTF-8 character
        --cut;
    return collisionName(name.left(cut) + extension, n);
}

QByteArray trashInfoDate(const QDateTime &deleted)
{
    return deleted.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1();
}

QByteArray trashInfoText(const QByteArray &path, const QDateTime &deleted)
{
    return "[Trash Info]\nPath=" + path.toPercentEncoding("/") +
           "\nDeletionDate=" + trashInfoDate(deleted) + '\n';
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

struct TrashBatch::Impl
{
    TrashPlaces places;
    std::map<dev_t, bool> home;                          // per device: the home trash's?
    std::map<dev_t, std::optional<TrashFolder>> volumes; // each volume's trash, once found
    std::optional<TrashFolder> homeFolder;
    QByteArray folderPath; // the source folder opened last, and its descriptor
    UniqueFd folder;
    time_t second = -1; // the deletion date formatted last
    QByteArray date;
    std::unique_ptr<TrashInfoAhead> ahead; // last: ends before the folders close

    const std::optional<TrashFolder> *trashFor(dev_t device, const QByteArray &folder, int &error)
    {
        auto known = home.find(device);
        if (known == home.end()) known = home.emplace(device, places.onHomeVolume(device)).first;
        lastFolderError = 0;
        if (known->second) {
            if (!homeFolder) homeFolder = homeTrash(places);
            error = lastFolderError;
            return &homeFolder;
        }
        auto found = volumes.find(device);
        if (found == volumes.end() || !found->second) {
            std::optional<TrashFolder> trash = volumeTrash(places, places.topDirectory(folder));
            found = volumes.insert_or_assign(device, std::move(trash)).first;
        }
        error = lastFolderError;
        return &found->second;
    }

    QByteArray dateText(const QDateTime &now)
    {
        if (now.isValid()) return trashInfoDate(now);
        const time_t t = ::time(nullptr);
        if (t != second) {
            second = t;
            date = trashInfoDate(QDateTime::fromSecsSinceEpoch(t));
        }
        return date;
    }
};

TrashBatch::TrashBatch(TrashPlaces places) : d(std::make_unique<Impl>())
{
    d->places = std::move(places);
}

TrashBatch::~TrashBatch() = default;

TrashResult TrashBatch::move(const QByteArray &path, const std::optional<FileIdentity> &expected,
                             const QDateTime &now)
{
    const PathParts parts = splitPath(path);
    if (parts.name.isEmpty() || parts.name == "." || parts.name == "..")
        return {EntryResult::refused(EINVAL, QStringLiteral("not a file name")), {}, false};
    if (!d->folder.valid() || d->folderPath != parts.folder) {
        d->folder = openFolder(parts.folder);
        d->folderPath = parts.folder;
        if (!d->folder.valid()) {
            d->folderPath.clear();
            return {EntryResult::failed(errno), {}, false};
        }
    }
    struct stat st;
    if (::fstatat(d->folder.get(), parts.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return {EntryResult::failed(errno), {}, false};
    if (expected) {
        const QString mismatch = identityMismatch(*expected, FileIdentity::fromStat(st));
        if (!mismatch.isEmpty()) return {EntryResult::refused(ESTALE, mismatch), {}, false};
    }
    const QByteArray full =
        path.startsWith('/')
            ? joinPath(parts.folder, parts.name)
            : QFile::encodeName(QDir::current().absoluteFilePath(QFile::decodeName(path)));
    int error = 0;
    const std::optional<TrashFolder> *trash = d->trashFor(st.st_dev, parts.folder, error);
    if (!*trash && diskFull(error)) {
        d->ahead.reset();
        d->homeFolder.reset(); // tried again for the next file: space may come back
        return {EntryResult::refused(error, kDiskFull), {}, false};
    }
    if (!*trash)
        return {EntryResult::refused(ENOTSUP, QStringLiteral("no usable Trash on its volume")),
                {},
                true};
    if (d->ahead) {
        const QByteArray name = d->ahead->take(full, &**trash);
        if (!name.isEmpty()) {
            const QByteArray infoName = name + ".trashinfo";
            if (renameNoReplace(d->folder.get(), parts.name, (*trash)->files.get(), name) == 0)
                return {EntryResult::done(joinPath((*trash)->path, "files/" + name)),
                        joinPath((*trash)->path, "info/" + infoName), false};
            ::unlinkat((*trash)->info.get(), infoName.constData(), 0); // moved the usual way
        }
    }
    const QByteArray text =
        "[Trash Info]\nPath=" + infoPath(full, (*trash)->pathBase).toPercentEncoding("/") +
        "\nDeletionDate=" + d->dateText(now) + '\n';
    return moveInto(d->folder.get(), parts.name, full, **trash, text);
}

void TrashBatch::writeInfoAhead(const QList<QByteArray> &paths,
                                const QList<std::optional<FileIdentity>> &identities)
{
    d->ahead.reset();
    QList<dev_t> devices;
    QList<dev_t> looked; // each device's trash is looked for once
    std::vector<TrashInfoAhead::Place> places;
    for (qsizetype k = 0; k < paths.size(); ++k) {
        const std::optional<FileIdentity> identity =
            k < identities.size() ? identities[k] : std::nullopt;
        const dev_t device = identity && identity->hasInode() ? identity->device : 0;
        devices << device;
        if (device == 0 || looked.contains(device)) continue;
        looked << device;
        int error = 0;
        const std::optional<TrashFolder> *trash =
            d->trashFor(device, splitPath(paths[k]).folder, error);
        if (*trash) places.push_back({device, (*trash)->info.get(), (*trash)->pathBase, &**trash});
    }
    if (!places.empty())
        d->ahead = std::make_unique<TrashInfoAhead>(paths, devices, std::move(places));
}

void TrashBatch::endInfoAhead()
{
    d->ahead.reset();
}

TrashResult moveToTrash(const QByteArray &path, const TrashPlaces &places,
                        const std::optional<FileIdentity> &expected, const QDateTime &now)
{
    return TrashBatch(places).move(path, expected, now);
}

} // namespace clarivex::cleaning
