#include "core/cleaning/parent_folder.h"

#include "core/cleaning/entry_names.h"

#include <cerrno>

#include <fcntl.h>

namespace clarivex::cleaning {

UniqueFd openFolder(const QByteArray &path)
{
    return UniqueFd(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

EntryResult openEntry(const QByteArray &path, const std::optional<FileIdentity> &expected,
                      OpenEntry &entry)
{
    const PathParts parts = splitPath(path);
    if (parts.name.isEmpty() || parts.name == "." || parts.name == "..")
        return EntryResult::refused(EINVAL, QStringLiteral("not a file name"));
    entry.folderPath = parts.folder;
    entry.name = parts.name;
    entry.folder = openFolder(parts.folder);
    if (!entry.folder.valid()) return EntryResult::failed(errno);
    if (::fstatat(entry.folder.get(), parts.name.constData(), &entry.st, AT_SYMLINK_NOFOLLOW) != 0)
        return EntryResult::failed(errno);
    if (expected) {
        const QString mismatch = identityMismatch(*expected, FileIdentity::fromStat(entry.st));
        if (!mismatch.isEmpty()) return EntryResult::refused(ESTALE, mismatch);
    }
    return EntryResult::done();
}

} // namespace clarivex::cleaning
