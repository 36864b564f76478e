#include "core/cleaning/trash_expiry.h"

#include "core/cleaning/remove_entry.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace clarivex::cleaning {

namespace {

QByteArray parentOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray() : path.left(slash);
}

QByteArray nameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

bool isRealFolder(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::optional<QByteArray> trashRecordOf(const QByteArray &path)
{
    const QByteArray files = parentOf(path);
    if (nameOf(files) != "files") return std::nullopt;
    const QByteArray trash = parentOf(files);
    const QByteArray trashName = nameOf(trash);
    const bool trashFolder = trashName == "Trash" || trashName.startsWith(".Trash-") ||
                             nameOf(parentOf(trash)) == ".Trash";
    if (!trashFolder || !isRealFolder(files) || !isRealFolder(trash + "/info")) return std::nullopt;
    const QByteArray info = trash + "/info/" + nameOf(path) + ".trashinfo";
    struct stat st;
    if (::lstat(info.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return info;
}

EntryResult expungeTrashItem(const QByteArray &path, const QByteArray &infoFile,
                             const std::optional<FileIdentity> &expected)
{
    EntryResult result = removeEntry(path, false, expected);
    if (!result.ok()) return result;
    // A record left behind names a file that is gone; file managers drop it.
    if (::unlink(infoFile.constData()) != 0 && errno != ENOENT)
        return EntryResult::failed(errno, QStringLiteral("its Trash record stayed"));
    return EntryResult::done(QByteArrayLiteral("(deleted from the Trash)"));
}

} // namespace clarivex::cleaning
