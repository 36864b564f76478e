#include "core/cleaning/restore.h"

#include "core/cleaning/entry_names.h"
#include "core/cleaning/file_copy.h"
#include "core/cleaning/parent_folder.h"
#include "core/cleaning/pending_file.h"
#include "core/cleaning/zip_entry_meta.h"

#include <QFile>
#include <QSet>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <zip.h>

namespace clarivex::cleaning {

namespace {

struct Entry
{
    zip_uint64_t index = 0;
    QByteArray name;
    EntryMeta meta;
    QList<QByteArray> folders; // the parts above the file
    QByteArray fileName;
};

// mkdir -p, by bytes.
void makeFolders(const QByteArray &path)
{
    for (qsizetype at = path.indexOf('/', 1); at != -1; at = path.indexOf('/', at + 1))
        ::mkdir(path.left(at).constData(), 0755);
    ::mkdir(path.constData(), 0755);
}

struct timespec timespecOf(qint64 nanoseconds)
{
    qint64 seconds = nanoseconds / 1000000000;
    qint64 rest = nanoseconds % 1000000000;
    if (rest < 0) {
        --seconds;
        rest += 1000000000;
    }
    return {time_t(seconds), long(rest)};
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The parts of a safe entry name; false for one that climbs out or is empty.
bool splitEntryName(const QByteArray &name, Entry &entry)
{
    QList<QByteArray> parts;
    for (const QByteArray &part : name.split('/')) {
        if (part == "..") return false;
        if (!part.isEmpty() && part != ".") parts << part;
    }
    if (parts.isEmpty()) return false;
    entry.fileName = parts.takeLast();
    entry.folders = parts;
    return true;
}

// Opens (making what is missing unless `dryRun`) the folders of the entry
// below `base`, each relative to the one above it and never through a
// symbolic link: a link planted on the way leads nowhere, whoever runs the
// restore. Invalid with errno set when one cannot be had, `link` naming the
// link met; in a dry run a missing folder is invalid with ENOENT and means
// every name below is free.
UniqueFd openFolders(const QByteArray &base, const Entry &entry, bool dryRun, QByteArray &link)
{
    UniqueFd fd = openFolder(base);
    QByteArray path = base;
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    for (const QByteArray &part : entry.folders) {
        if (!fd.valid()) break;
        path = joinPath(path, part);
        if (!dryRun && ::mkdirat(fd.get(), part.constData(), 0755) != 0 && errno != EEXIST)
            return {};
        UniqueFd below(::openat(fd.get(), part.constData(), flags));
        if (!below.valid()) {
            const int error = errno;
            struct stat st;
            if ((error == ELOOP || error == ENOTDIR) &&
                ::fstatat(fd.get(), part.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode))
                link = path;
            errno = error;
        }
        fd = std::move(below);
    }
    return fd;
}

// Whose the restored file is: the recorded owner when root restores (a
// user's file stays the user's), else the one restoring.
void ownerOf(const EntryMeta &meta, uid_t &uid, gid_t &gid)
{
    uid = ::geteuid();
    gid = ::getegid();
    if (uid == 0 && meta.hasOwner) {
        uid = meta.uid;
        gid = meta.gid;
    }
}

QByteArray candidate(const QByteArray &name, int n, bool neverRename = false)
{
    if (neverRename) return n == 1 ? name : QByteArray();
    return n == 1 ? name : restoredName(name, n - 1);
}

// The name a dry run would take: the first candidate that is free, and not
// taken by an earlier entry of this dry run (`claimed`, full paths).
QByteArray freeName(int folderFd, const QByteArray &folder, const QByteArray &name,
                    QSet<QByteArray> &claimed, bool neverRename)
{
    struct stat st;
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QByteArray next = candidate(name, n, neverRename);
        if (next.isEmpty()) return {};
        if ((folderFd < 0 ||
             ::fstatat(folderFd, next.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) &&
            !claimed.contains(joinPath(folder, next))) {
            claimed.insert(joinPath(folder, next));
            return next;
        }
    }
    return {};
}

int writeFile(zip_t *archive, const Entry &entry, int folderFd, QByteArray &taken, bool neverRename)
{
    zip_stat_t st;
    if (zip_stat_index(archive, entry.index, 0, &st) != 0) return EIO;
    int error = 0;
    PendingFile out(folderFd, 0600, error);
    if (error) return error;
    zip_file_t *in = zip_fopen_index(archive, entry.index, 0);
    if (!in) return EIO;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    zip_int64_t got;
    while (error == 0 && (got = zip_fread(in, buffer.data(), zip_uint64_t(buffer.size()))) > 0) {
        for (zip_int64_t put = 0; error == 0 && put < got;) {
            const ssize_t n = ::write(out.fd(), buffer.constData() + put, size_t(got - put));
            if (n < 0 && errno != EINTR) error = errno;
            if (n > 0) put += n;
        }
    }
    if (error == 0 && got < 0) error = EIO; // unreadable or a CRC that does not match
    zip_fclose(in);
    struct stat attributes = {};
    // Set-user-ID and set-group-ID never come back: restored by root, a
    // user's program would run as root.
    attributes.st_mode = (entry.meta.mode ? entry.meta.mode : 0644) & ~mode_t(S_ISUID | S_ISGID);
    attributes.st_mtim = timespecOf(entry.meta.modified);
    attributes.st_atim = attributes.st_mtim;
    ownerOf(entry.meta, attributes.st_uid, attributes.st_gid);
    if (error == 0) error = copyAttributes(attributes, out.fd());
    if (error == 0) error = syncAndCheckSize(out.fd(), qint64(st.size));
    if (error == 0)
        error = out.publishUnique([&](int n) { return candidate(entry.fileName, n, neverRename); },
                                  taken);
    return error;
}

int writeLink(zip_t *archive, const Entry &entry, int folderFd, QByteArray &taken, bool neverRename)
{
    zip_file_t *in = zip_fopen_index(archive, entry.index, 0);
    if (!in) return EIO;
    QByteArray text(4096, Qt::Uninitialized);
    const zip_int64_t got = zip_fread(in, text.data(), zip_uint64_t(text.size()));
    zip_fclose(in);
    if (got < 0) return EIO;
    text.truncate(qsizetype(got));
    for (int n = 1; n <= kMaxNameTries; ++n) {
        taken = candidate(entry.fileName, n, neverRename);
        if (taken.isEmpty()) return EEXIST;
        if (::symlinkat(text.constData(), folderFd, taken.constData()) == 0) {
            const struct timespec times[2] = {timespecOf(entry.meta.modified),
                                              timespecOf(entry.meta.modified)};
            ::utimensat(folderFd, taken.constData(), times, AT_SYMLINK_NOFOLLOW);
            uid_t uid = 0;
            gid_t gid = 0;
            ownerOf(entry.meta, uid, gid);
            if (uid != ::geteuid())
                ::fchownat(folderFd, taken.constData(), uid, gid, AT_SYMLINK_NOFOLLOW);
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

RestoredFile restoreEntry(zip_t *archive, const Entry &entry, const RestoreOptions &options,
                          QSet<QByteArray> &claimed)
{
    const QByteArray base = options.toFolder.isEmpty() ? QByteArray("/") : options.toFolder;
    QByteArray folder = base;
    for (const QByteArray &part : entry.folders)
        folder = joinPath(folder, part);
    RestoredFile file{entry.name, joinPath(folder, entry.fileName), {}, RestoreFate::Failed, {}};
    QByteArray link;
    const UniqueFd fd = openFolders(base, entry, options.dryRun, link);
    QByteArray taken;
    int error = 0;
    if (options.dryRun) {
        if (!fd.valid() && errno != ENOENT) error = errno;
        taken = freeName(fd.get(), folder, entry.fileName, claimed, options.neverRename);
        if (taken.isEmpty()) error = EEXIST;
    } else if (!fd.valid()) {
        error = errno;
    } else {
        error = S_ISLNK(entry.meta.mode)
                    ? writeLink(archive, entry, fd.get(), taken, options.neverRename)
                    : writeFile(archive, entry, fd.get(), taken, options.neverRename);
    }
    if (!link.isEmpty()) {
        file.reason = QStringLiteral("a symbolic link on the way: ") + QFile::decodeName(link);
        return file;
    }
    if (error != 0) {
        file.reason = systemText(error);
        return file;
    }
    file.target = joinPath(folder, taken);
    file.fate = taken == entry.fileName ? RestoreFate::Restored : RestoreFate::RestoredAs;
    return file;
}

} // namespace

bool RestoreReport::allRestored() const
{
    if (!archiveError.isEmpty()) return false;
    for (const RestoredFile &file : files) {
        if (file.fate == RestoreFate::Failed) return false;
    }
    return true;
}

RestoreReport restoreArchive(const QByteArray &archivePath, const RestoreOptions &options)
{
    RestoreReport report;
    int code = 0;
    zip_t *archive = zip_open(archivePath.constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        report.archiveError = QString::fromLocal8Bit(zip_error_strerror(&error));
        zip_error_fini(&error);
        return report;
    }
    if (!options.dryRun && !options.toFolder.isEmpty()) makeFolders(options.toFolder);
    const QSet<QByteArray> only(options.onlyEntries.begin(), options.onlyEntries.end());
    QList<Entry> files;
    QList<Entry> links; // last: no link made here can redirect a file of this archive
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        Entry entry;
        entry.index = zip_uint64_t(i);
        entry.name = zip_get_name(archive, entry.index, ZIP_FL_ENC_RAW);
        if (entry.name.endsWith('/')) continue; // a folder entry: folders come with their files
        if (!only.isEmpty() && !only.contains(entry.name)) continue;
        entry.meta = readEntryMeta(archive, entry.index);
        if (!splitEntryName(entry.name, entry)) {
            report.files.append({entry.name,
                                 entry.name,
                                 {},
                                 RestoreFate::Failed,
                                 QStringLiteral("unsafe name in the archive")});
            continue;
        }
        // An entry renamed in the archive beside an earlier one of its name
        // ("a (2).tmp") goes back to the name its file had, never overwriting.
        Entry origin;
        if (!entry.meta.origin.isEmpty() && splitEntryName(entry.meta.origin, origin) &&
            origin.folders == entry.folders)
            entry.fileName = origin.fileName;
        (S_ISLNK(entry.meta.mode) ? links : files).append(entry);
    }
    QSet<QByteArray> claimed;
    for (const Entry &entry : files + links)
        report.files.append(restoreEntry(archive, entry, options, claimed));
    zip_discard(archive);
    return report;
}

} // namespace clarivex::cleaning
