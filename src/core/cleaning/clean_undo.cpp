#include "core/cleaning/clean_undo.h"

#include "core/cleaning/clean_undo_places.h"
#include "core/cleaning/entry_names.h"
#include "core/cleaning/file_copy.h"
#include "core/cleaning/file_transfer.h"
#include "core/cleaning/parent_folder.h"
#include "core/cleaning/pending_file.h"
#include "core/cleaning/restore.h"

#include <QHash>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex::cleaning {

namespace {

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

const QString kTaken = QStringLiteral("the path is taken: the file stays where it is");

// Opens the folder `path` from the root, one part at a time, never through a
// link; a missing part is made (unless `dryRun`, where it means every name
// below is free: invalid with ENOENT).
UniqueFd openWayBack(const QByteArray &path, bool dryRun)
{
    UniqueFd fd(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const QByteArray &part : path.split('/')) {
        if (part.isEmpty() || part == ".") continue;
        if (!fd.valid()) break;
        if (part == "..") {
            errno = EINVAL;
            return {};
        }
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;
        UniqueFd next(::openat(fd.get(), part.constData(), flags));
        if (!next.valid() && errno == ENOENT && !dryRun &&
            (::mkdirat(fd.get(), part.constData(), 0755) == 0 || errno == EEXIST))
            next = UniqueFd(::openat(fd.get(), part.constData(), flags));
        if (!next.valid() && errno == ELOOP) errno = ENOTDIR; // a link on the way is not a folder
        fd = std::move(next);
    }
    return fd;
}

bool nameTaken(int folderFd, const QByteArray &name)
{
    struct stat st;
    return folderFd >= 0 && ::fstatat(folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Out of the Trash or the backup folder, back to its path.
UndoLine moveBack(const HistoryFile &file, bool dryRun)
{
    UndoLine line{file.path, UndoFate::Failed, {}, file.place};
    const PathParts from = splitPath(file.place);
    const PathParts to = splitPath(file.path);
    const UniqueFd fromFd = openFolder(from.folder);
    const std::optional<FileIdentity> now =
        fromFd.valid() ? readIdentityAt(fromFd.get(), from.name.constData()) : std::nullopt;
    const FileIdentity expected = file.placeIdentity.value_or(file.identity);
    if (!now || now->device != expected.device || now->inode != expected.inode) {
        line.fate = UndoFate::Gone;
        line.reason = QStringLiteral("no longer where the clean put it");
        return line;
    }
    const UniqueFd toFd = openWayBack(to.folder, dryRun);
    if (!toFd.valid() && !(dryRun && errno == ENOENT)) {
        line.reason = systemText(errno) + QStringLiteral(": ") + QString::fromLocal8Bit(to.folder);
        return line;
    }
    if (nameTaken(toFd.get(), to.name)) {
        line.fate = UndoFate::Taken;
        line.reason = kTaken;
        return line;
    }
    if (dryRun) {
        line.fate = UndoFate::Restored;
        return line;
    }
    int error = renameNoReplace(fromFd.get(), from.name, toFd.get(), to.name);
    if (error == EXDEV) {
        Transfer transfer;
        transfer.source = file.place;
        transfer.targetFolder = to.folder;
        transfer.targetName = to.name;
        transfer.expected = *now;
        error = transferEntry(transfer).error;
    }
    if (error == EEXIST) {
        line.fate = UndoFate::Taken;
        line.reason = kTaken;
    } else if (error != 0) {
        line.reason = systemText(error);
    } else {
        line.fate = UndoFate::Restored;
        if (file.where == Whereabouts::Trash && !file.detail.isEmpty())
            (void)::unlink(file.detail.constData()); // the ".trashinfo" of a file no longer there
    }
    return line;
}

// A duplicate replaced by a hard link of the copy kept becomes a file of its
// own again: a copy is written beside it and renamed over the link, with the
// duplicate's own modification time (the link had the master's). A reflink
// copy has been a file of its own all along (its blocks are shared unseen).
UndoLine splitLink(const HistoryFile &file, bool dryRun)
{
    UndoLine line{file.path, UndoFate::Failed, {}, file.place};
    OpenEntry entry;
    // Only the device and inode of the copy kept are recorded.
    const EntryResult opened = openEntry(file.path, std::nullopt, entry);
    if (!opened.ok() || !file.placeIdentity || entry.st.st_dev != file.placeIdentity->device ||
        entry.st.st_ino != file.placeIdentity->inode) {
        line.fate = UndoFate::Gone;
        line.reason =
            opened.ok() ? QStringLiteral("no longer a link of the copy kept") : opened.reason;
        return line;
    }
    if (dryRun || entry.st.st_nlink < 2) {
        line.fate = UndoFate::Restored; // a link with no other name is a file of its own already
        return line;
    }
    const int in =
        ::openat(entry.folder.get(), entry.name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0) {
        line.reason = systemText(errno);
        return line;
    }
    int error = 0;
    {
        PendingFile out(entry.folder.get(), 0600, error);
        if (error == 0) error = copyContents(in, out.fd());
        if (error == 0) error = copyAttributes(entry.st, out.fd());
        if (error == 0 && file.identity.modified != 0) {
            const struct timespec times[2] = {entry.st.st_atim,
                                              {time_t(file.identity.modified / 1000000000),
                                               long(file.identity.modified % 1000000000)}};
            if (::futimens(out.fd(), times) != 0) error = errno;
        }
        if (error == 0) error = syncAndCheckSize(out.fd(), entry.st.st_size);
        QByteArray taken;
        if (error == 0)
            error = out.publishUnique(
                [&](int n) { return ".clarivex-undo-" + QByteArray::number(n) + '-' + entry.name; },
                taken);
        // The link is replaced only while it is still the link of the copy kept.
        const std::optional<FileIdentity> still =
            readIdentityAt(entry.folder.get(), entry.name.constData());
        if (error == 0 && (!still || still->inode != entry.st.st_ino)) error = ESTALE;
        if (error == 0 && ::renameat(entry.folder.get(), taken.constData(), entry.folder.get(),
                                     entry.name.constData()) != 0)
            error = errno;
        if (error != 0 && !taken.isEmpty())
            (void)::unlinkat(entry.folder.get(), taken.constData(), 0);
    }
    ::close(in);
    if (error == 0)
        line.fate = UndoFate::Restored;
    else
        line.reason = systemText(error);
    return line;
}

} // namespace

bool UndoReport::allBack() const
{
    return std::all_of(files.begin(), files.end(), [](const UndoLine &line) {
        return line.fate == UndoFate::Restored || line.fate == UndoFate::InPlace ||
               line.fate == UndoFate::AlreadyUndone;
    });
}

qsizetype UndoReport::count(UndoFate fate) const
{
    return std::count_if(files.begin(), files.end(),
                         [fate](const UndoLine &line) { return line.fate == fate; });
}

qsizetype restorableCount(CleanHistory &history, const HistoryClean &clean,
                          const std::optional<TrashPlaces> &trash)
{
    UndoPlaces places(clean, trash);
    qsizetype count = 0;
    for (const HistoryFile &file : history.files(clean.id)) {
        if (file.state != RecordState::Left && places.locate(file).fate == UndoFate::Restored)
            ++count;
    }
    return count;
}

UndoReport undoClean(CleanHistory &history, const HistoryClean &clean, const UndoOptions &options)
{
    UndoReport report;
    report.clean = clean.id;
    UndoPlaces places(clean, options.trash);
    QList<FileWhereabouts> located;
    for (const HistoryFile &file : history.files(clean.id)) {
        if (file.state != RecordState::Left) located << places.locate(file);
    }
    // The files of one archive are restored in one pass over it.
    QHash<QByteArray, QList<qsizetype>> byArchive;
    report.files.resize(located.size());
    qsizetype done = 0;
    const auto step = [&] {
        ++done;
        return !options.progress || options.progress(done, located.size());
    };
    bool stopped = false;
    for (qsizetype i = 0; i < located.size() && !stopped; ++i) {
        const FileWhereabouts &where = located[i];
        UndoLine &line = report.files[i];
        line = {where.file.path, where.fate, where.reason, where.file.place};
        if (where.fate != UndoFate::Restored) {
            stopped = !step();
            continue;
        }
        switch (where.file.where) {
        case Whereabouts::Trash:
        case Whereabouts::Moved:
            line = moveBack(where.file, options.dryRun);
            break;
        case Whereabouts::Linked:
            line = splitLink(where.file, options.dryRun);
            break;
        case Whereabouts::Archived:
            byArchive[where.file.place] << i;
            line.fate = UndoFate::Failed;
            line.reason = QStringLiteral("the undo was stopped");
            continue; // below
        default:
            break;
        }
        if (line.fate == UndoFate::Restored && !options.dryRun)
            (void)history.markUndone(where.file.id);
        stopped = !step();
    }
    for (auto it = byArchive.cbegin(); it != byArchive.cend() && !stopped; ++it) {
        RestoreOptions restore;
        restore.dryRun = options.dryRun;
        restore.neverRename = true;
        QHash<QByteArray, qsizetype> byEntry;
        for (qsizetype i : it.value()) {
            restore.onlyEntries << located[i].file.detail;
            byEntry.insert(located[i].file.detail, i);
        }
        const RestoreReport restored = restoreArchive(it.key(), restore);
        for (qsizetype i : it.value()) {
            report.files[i].fate = UndoFate::Gone;
            report.files[i].reason = restored.archiveError.isEmpty()
                                         ? QStringLiteral("no longer in the archive")
                                         : restored.archiveError;
        }
        for (const RestoredFile &file : restored.files) {
            const qsizetype i = byEntry.value(file.entryName, -1);
            if (i < 0) continue;
            UndoLine &line = report.files[i];
            if (file.fate != RestoreFate::Failed) {
                line.fate = UndoFate::Restored;
                line.reason.clear();
                if (!options.dryRun) (void)history.markUndone(located[i].file.id);
            } else if (file.reason == systemText(EEXIST)) {
                line.fate = UndoFate::Taken;
                line.reason = kTaken;
            } else {
                line.fate = UndoFate::Failed;
                line.reason = file.reason;
            }
            stopped = !step();
        }
    }
    if (stopped) {
        report.files.erase(std::remove_if(report.files.begin(), report.files.end(),
                                          [](const UndoLine &line) { return line.path.isEmpty(); }),
                           report.files.end());
    }
    return report;
}

} // namespace clarivex::cleaning
