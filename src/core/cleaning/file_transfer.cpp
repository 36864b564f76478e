#include "core/cleaning/file_transfer.h"

#include "core/cleaning/entry_names.h"
#include "core/cleaning/parent_folder.h"
#include "core/cleaning/pending_file.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace clarivex::cleaning {

namespace {

struct Places
{
    const Transfer &transfer;
    OpenEntry source;
    UniqueFd target;
    QByteArray baseName;

    [[nodiscard]] QByteArray candidate(int n) const
    {
        return transfer.renameOnCollision ? collisionName(baseName, n)
                                          : (n == 1 ? baseName : QByteArray());
    }
    [[nodiscard]] QByteArray destination(const QByteArray &name) const
    {
        return joinPath(transfer.targetFolder, name);
    }
};

// The same entry still under its name: nothing swapped it while it was copied.
bool stillSame(const OpenEntry &entry, const struct stat &opened)
{
    struct stat now;
    return ::fstatat(entry.folder.get(), entry.name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
           now.st_dev == opened.st_dev && now.st_ino == opened.st_ino &&
           now.st_size == opened.st_size && now.st_mtim.tv_sec == opened.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == opened.st_mtim.tv_nsec;
}

EntryResult renameIn(const Places &places)
{
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QByteArray name = places.candidate(n);
        if (name.isEmpty()) return EntryResult::failed(EEXIST);
        const int error = renameNoReplace(places.source.folder.get(), places.source.name,
                                          places.target.get(), name);
        if (error == 0) return EntryResult::done(places.destination(name));
        if (error != EEXIST) return EntryResult::failed(error);
    }
    return EntryResult::failed(EEXIST);
}

// A new name for the source's data in the target folder: a copy of its bytes,
// mode and times, or a link with the same text.
EntryResult copyInto(const Places &places, const ByteProgress &progress, struct stat &copied)
{
    const OpenEntry &source = places.source;
    const auto pick = [&](int n) { return places.candidate(n); };
    QByteArray taken;
    if (S_ISLNK(source.st.st_mode)) {
        QByteArray text(qsizetype(source.st.st_size) + 1, Qt::Uninitialized);
        const ssize_t got =
            ::readlinkat(source.folder.get(), source.name.constData(), text.data(), text.size());
        if (got < 0) return EntryResult::failed(errno);
        text.truncate(got);
        for (int n = 1; n <= kMaxNameTries; ++n) {
            taken = pick(n);
            if (taken.isEmpty()) return EntryResult::failed(EEXIST);
            if (::symlinkat(text.constData(), places.target.get(), taken.constData()) == 0) {
                copied = source.st;
                return EntryResult::done(places.destination(taken));
            }
            if (errno != EEXIST) return EntryResult::failed(errno);
        }
        return EntryResult::failed(EEXIST);
    }
    if (!S_ISREG(source.st.st_mode))
        return EntryResult::refused(EXDEV, QStringLiteral("only files can go to another volume"));
    const UniqueFd in(::openat(source.folder.get(), source.name.constData(),
                               O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    if (!in.valid() || ::fstat(in.get(), &copied) != 0) return EntryResult::failed(errno);
    if (copied.st_ino != source.st.st_ino || copied.st_dev != source.st.st_dev)
        return EntryResult::refused(ESTALE, QStringLiteral("replaced while it was opened"));
    int error = 0;
    PendingFile out(places.target.get(), 0600, error);
    if (error == 0) error = copyContents(in.get(), out.fd(), progress);
    if (error == 0) error = copyAttributes(copied, out.fd());
    if (error == 0) error = syncAndCheckSize(out.fd(), copied.st_size);
    if (error == 0) error = out.publishUnique(pick, taken);
    if (error != 0) return EntryResult::failed(error, QStringLiteral("copy failed"));
    ::fsync(places.target.get());
    return EntryResult::done(places.destination(taken));
}

EntryResult copyThenRemove(const Places &places)
{
    struct stat copied;
    EntryResult result = copyInto(places, places.transfer.progress, copied);
    if (!result.ok() || places.transfer.keepSource) return result;
    const OpenEntry &source = places.source;
    if (!stillSame(source, copied))
        return EntryResult::refused(
            ESTALE, QStringLiteral("copied to ") + QString::fromLocal8Bit(result.destination) +
                        QStringLiteral(", but the source changed meanwhile"));
    if (::unlinkat(source.folder.get(), source.name.constData(), 0) != 0) {
        const int error = errno;
        return EntryResult::failed(error, QStringLiteral("copied to ") +
                                              QString::fromLocal8Bit(result.destination) +
                                              QStringLiteral(", but the source stayed"));
    }
    return result;
}

} // namespace

EntryResult transferEntry(const Transfer &transfer)
{
    Places places{transfer, {}, {}, {}};
    EntryResult opened = openEntry(transfer.source, transfer.expected, places.source);
    if (!opened.ok()) return opened;
    places.target = openFolder(transfer.targetFolder);
    if (!places.target.valid()) return EntryResult::failed(errno, QStringLiteral("destination"));
    places.baseName = transfer.targetName.isEmpty() ? places.source.name : transfer.targetName;
    if (!transfer.keepSource) {
        EntryResult moved = renameIn(places);
        // Another volume, or a file system with no rename that never replaces: a copy.
        if (moved.error != EXDEV && moved.error != ENOTSUP) return moved;
    }
    return copyThenRemove(places);
}

} // namespace clarivex::cleaning
