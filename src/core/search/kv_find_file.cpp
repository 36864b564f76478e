#include "core/search/kv_find_file.h"

#include "core/base/file_facts.h"
#include "core/base/formats.h"
#include "core/base/local_zone.h"
#include "core/search/content_reader.h"
#include "core/search/folder_stack.h"
#include "core/search/mount_fence.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace clarivex {

namespace {

struct DevIno
{
    dev_t dev;
    ino_t ino;
    bool operator==(const DevIno &) const = default;
};

struct DevInoHash
{
    size_t operator()(const DevIno &key) const
    {
        return std::hash<quint64>()(quint64(key.ino) * 0x9E3779B97F4A7C15ULL ^ quint64(key.dev));
    }
};

// Where a date cannot be converted, the bound lies before every file time
// (on Windows it was the file time 0x0000FFFF0000FFFF, in the year 1601).
constexpr qint64 kBadDateTime = std::numeric_limits<qint64>::min();
constexpr unsigned kStatxMask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_INO | STATX_SIZE |
                                STATX_ATIME | STATX_MTIME | STATX_CTIME | STATX_BLOCKS |
                                STATX_BTIME;

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

unsigned char typeOfMode(quint16 mode)
{
    if (S_ISDIR(mode)) return DT_DIR;
    if (S_ISREG(mode)) return DT_REG;
    if (S_ISLNK(mode)) return DT_LNK;
    return DT_FIFO; // sockets, FIFOs and device nodes alike: never reported
}

} // namespace

struct TKvFindFile::Entry
{
    const char *name;
    qsizetype nameSize;
    unsigned char type; // DT_*
    bool statted = false;
    quint32 attributes = 0; // set once the attribute stage ran
    struct statx st;
    int content = -1; // the file opened for the content test, closed with the entry
    ~Entry()
    {
        if (content >= 0) ::close(content);
    }
};

// Everything one Execute needs besides the filters. It lives on Execute's
// stack, so a new Execute started from AfterExecute shares nothing with it.
struct TKvFindFile::Walk
{
    QByteArray dir;     // the folder being read, with a trailing "/"
    QByteArray lowered; // a name in lower case, for the masks
    std::vector<char> dents = std::vector<char>(64 * 1024);
    // The current folder's entries read before OnChDir: bytes of dents, and
    // whether they are all of them.
    size_t listed = 0;
    bool listedWhole = false;
    // The names of subfolders still to walk, each ended by a NUL, for every
    // level of the current path one after the other.
    std::string subdirs;
    std::unordered_set<DevIno, DevInoHash> visited;
    std::unordered_set<DevIno, DevInoHash> keptAway; // KeptAway's folders as found now
    int mountRootOf = -1;   // the folder whose top-of-volume state is known ...
    bool mountRoot = false; // ... and that state
    FolderStack folders;    // the open folders from the start folder down
    MountFence fence;
    Walk(bool stay, std::shared_ptr<MountTable> mounts) : fence(stay, std::move(mounts)) {}
    TFindData data;
    ContentReader reader{kStatxMask};
    uid_t uid = ::geteuid();
    // Files are opened for their content without touching their access time;
    // off for the rest of a folder once a file there is not the user's.
    bool noAtime = true;
    // Whether a filter besides the name and the content needs a file's statx.
    bool statFilters = true;
    qint64 minSize = 0;
    qint64 maxSize = 0;
    bool maxOpen = false;
    qint64 from = 0;
    qint64 to = 0;
    bool fromOpen = false;
    bool toOpen = false;
};

TKvFindFile::TKvFindFile()
{
    SetAttributes(0x3F);
    SetFileMask(QString());
    SetDateFrom(0.0);
    SetDateTo(2147483647.0);
}

TKvFindFile::~TKvFindFile() = default;

void TKvFindFile::SetFindString(const QString &value)
{
    if (value == m_findString) return;
    m_findString = value;
    m_search.SetPattern(value.toUtf8());
}

namespace {

// A date/time value (already within the range) as a bound in two-second
// steps, as a DOS time stamp keeps them.
std::pair<qint64, double> localBound(double value)
{
    QDateTime local = valueToDateTime(value);
    if (!local.isValid()) return {kBadDateTime, -1.0};
    const QTime time = local.time();
    local.setTime(QTime(time.hour(), time.minute(), time.second() / 2 * 2));
    return {local.toMSecsSinceEpoch() * 1000000, dateTimeToValue(local)};
}

} // namespace

TKvFindFile::DateBound TKvFindFile::dateBound(double value)
{
    if (std::isnan(value)) return {kBadDateTime, -1.0};
    value = std::clamp(value, kDateRangeFirst, kDateRangeLast);
    // The open ends, which every finder starts with, are worked out once per
    // thread and time zone: converting a local time reads the zone file.
    if (value == kDateRangeFirst || value == kDateRangeLast) {
        thread_local quint64 endsZone = 0; // no zone yet
        thread_local std::pair<qint64, double> ends[2];
        const quint64 zone = localZoneGeneration();
        if (zone != endsZone) {
            ends[0] = localBound(kDateRangeFirst);
            ends[1] = localBound(kDateRangeLast);
            endsZone = zone;
        }
        const auto &[time, bound] = ends[value == kDateRangeLast ? 1 : 0];
        return {time, bound};
    }
    const auto [time, bound] = localBound(value);
    return {time, bound};
}

bool TKvFindFile::Execute(const QString &Path)
{
    return Execute(QFile::encodeName(Path));
}

bool TKvFindFile::Execute(const QByteArray &Path)
{
    if (m_dateTo.value < m_dateFrom.value) std::swap(m_dateFrom, m_dateTo);
    if (MaxSize < MinSize) std::swap(MinSize, MaxSize);
    m_stop = false;
    QByteArray dir = Path;
    if (dir.size() > 1 && dir.endsWith('/')) dir.chop(1); // "/" itself stays the root
    bool result = false;
    struct stat st;
    if (!dir.isEmpty() && ::stat(dir.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        if (!m_mountsShared) m_mounts = std::make_shared<MountTable>();
        Walk walk(StayOnFileSystem, m_mounts);
        walk.minSize = MinSize;
        walk.maxSize = MaxSize;
        walk.maxOpen = MaxSize == std::numeric_limits<qint32>::max();
        walk.from = m_dateFrom.time;
        walk.to = m_dateTo.time;
        walk.fromOpen = m_dateFrom.value <= kDateRangeFirst;
        walk.toOpen = m_dateTo.value >= kDateRangeLast;
        walk.statFilters = walk.minSize > 0 || !walk.maxOpen || !walk.fromOpen || !walk.toOpen ||
                           m_excludedAttributes != 0;
        walk.dir = dir;
        for (const QByteArray &folder : KeptAway.folders()) {
            struct stat kept;
            if (::stat(folder.constData(), &kept) == 0 && S_ISDIR(kept.st_mode))
                walk.keptAway.insert({kept.st_dev, kept.st_ino});
        }
        if (walk.folders.openRoot(dir)) {
            walk.visited.insert({walk.folders.topDevice(), walk.folders.topInode()});
            const qsizetype slash = dir.lastIndexOf('/');
            const QByteArray name = dir.mid(slash + 1);
            const QByteArray parent = slash > 0 ? dir.left(slash) : QByteArray("/");
            bool kept = walk.keptAway.count({walk.folders.topDevice(), walk.folders.topInode()});
            if (!kept && KeptAwayFolders::isVolumeTrashName(name.constData())) {
                const int parentFd = ::open(parent.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
                if (parentFd >= 0) {
                    kept = keptAway(walk, parentFd, name.constData());
                    ::close(parentFd);
                }
            }
            if (kept)
                result = true; // nothing of it is this walk's
            else if (walk.fence.enterRoot(walk.folders.topMount()))
                result = ScanDirectory(walk, true);
        } else {
            folderError(walk, errno);
            result = ScanDirectory(walk, false);
        }
    }
    if (AfterExecute) AfterExecute(*this);
    return result;
}

bool TKvFindFile::ScanDirectory(Walk &walk, bool opened)
{
    pump();
    const size_t subdirStart = walk.subdirs.size();
    if (!walk.dir.endsWith('/')) walk.dir += '/';
    ++FoldersSeen;
    if (BeforeExecute) BeforeExecute(*this);
    walk.listed = 0;
    walk.listedWhole = false;
    if (OnChDir) {
        if (opened) listAhead(walk, walk.folders.top());
        bool Cancel = false;
        m_currentFolderFd = opened ? walk.folders.top() : -1;
        m_currentWalk = opened ? &walk : nullptr;
        OnChDir(walk.dir, Cancel);
        m_currentFolderFd = -1;
        m_currentWalk = nullptr;
        if (Cancel || m_stop) return false;
    }
    // A folder that cannot be opened (access denied, vanished) has no entries.
    if (opened && !readEntries(walk, walk.folders.top())) {
        walk.subdirs.resize(subdirStart);
        return false;
    }
    const size_t subdirEnd = walk.subdirs.size();
    const qsizetype dirSize = walk.dir.size();
    for (size_t at = subdirStart; at < subdirEnd;) {
        const size_t nameSize = std::strlen(walk.subdirs.data() + at);
        walk.dir.truncate(dirSize);
        walk.dir.append(walk.subdirs.data() + at, qsizetype(nameSize));
        bool ok = true;
        scanSubdirectory(walk, qsizetype(at), ok);
        if (!ok) {
            walk.subdirs.resize(subdirStart);
            return false;
        }
        at += nameSize + 1;
    }
    walk.subdirs.resize(subdirStart);
    walk.dir.truncate(dirSize);
    return true;
}

void TKvFindFile::folderError(Walk &walk, int error)
{
    ++UnreadableFolders;
    if (!walk.dir.endsWith('/')) walk.dir += '/';
    if (OnFolderError) OnFolderError(walk.dir, error);
}

// Opens a subfolder relative to its parent, without following a link, and
// walks it unless it was walked already; ok is the subfolder's result.
void TKvFindFile::scanSubdirectory(Walk &walk, qsizetype nameOffset, bool &ok)
{
    // walk.subdirs may grow below, so the name is used before recursing only.
    if (!walk.folders.push(walk.subdirs.data() + nameOffset)) {
        const int error = errno;
        if (error == ELOOP || error == ENOTDIR)
            return; // replaced by a link or a file since it was listed
        if (error != ENOENT) folderError(walk, error); // else gone since it was listed
        ok = ScanDirectory(walk, false); // still named to the handlers, with no entries
        return;
    }
    const quint64 parentMount = walk.folders.parentMount();
    // A pseudo file system, or another drive's volume: not this walk's to enter.
    if (walk.fence.mayEnter(parentMount, walk.folders.topMount()) &&
        !walk.keptAway.count({walk.folders.topDevice(), walk.folders.topInode()}) &&
        walk.visited.insert({walk.folders.topDevice(), walk.folders.topInode()}).second) {
        const bool deferred = DeferBelow > 0 && OnDefer &&
                              walk.folders.depth() == size_t(DeferBelow) + 1 && OnDefer(walk.dir);
        if (!deferred) ok = ScanDirectory(walk, true);
    }
    // else reached a second time (a bind mount, a loop)
    (void)walk.folders.pop(); // the parent's other subfolders fail to open if it is lost
}

// Whether the subfolder `name` of the folder `fd` is a volume's trash: so
// named, at the top of a mounted volume.
bool TKvFindFile::keptAway(Walk &walk, int fd, const char *name)
{
    if (!KeptAwayFolders::isVolumeTrashName(name)) return false;
    if (walk.mountRootOf != fd) {
        struct statx st;
        walk.mountRootOf = fd;
        walk.mountRoot = ::statx(fd, "", AT_EMPTY_PATH, 0, &st) == 0 &&
                         (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
                         (st.stx_attributes & STATX_ATTR_MOUNT_ROOT);
    }
    return walk.mountRoot;
}

// Reads the folder's first entries, and the rest when they fit beside them:
// a second read that finds nothing more tells the listing is whole, which
// the walk would have asked anyway.
void TKvFindFile::listAhead(Walk &walk, int fd)
{
    const ssize_t got = ::getdents64(fd, walk.dents.data(), walk.dents.size());
    if (got <= 0) {
        walk.listedWhole = true; // the end, or the folder cannot be read
        return;
    }
    walk.listed = size_t(got);
    if (walk.listed > walk.dents.size() / 2) return;
    const ssize_t more =
        ::getdents64(fd, walk.dents.data() + walk.listed, walk.dents.size() - walk.listed);
    if (more > 0)
        walk.listed += size_t(more);
    else
        walk.listedWhole = true;
}

std::optional<bool> TKvFindFile::CurrentFolderHolds(const char *name) const
{
    if (!m_currentWalk || !m_currentWalk->listedWhole) return std::nullopt;
    const std::vector<char> &dents = m_currentWalk->dents;
    for (size_t offset = 0; offset < m_currentWalk->listed;) {
        const auto *dirent = reinterpret_cast<const struct dirent64 *>(dents.data() + offset);
        offset += dirent->d_reclen;
        if (std::strcmp(dirent->d_name, name) == 0) return true;
    }
    return false;
}

bool TKvFindFile::readEntries(Walk &walk, int fd)
{
    walk.mountRootOf = -1;
    bool Cancel = false;
    walk.noAtime = true;
    // What listAhead read comes first; then the rest, unless it was all.
    for (bool first = true;; first = false) {
        ssize_t got = 0;
        if (first && (walk.listed > 0 || walk.listedWhole)) {
            got = ssize_t(walk.listed);
        } else if (!walk.listedWhole) {
            got = ::getdents64(fd, walk.dents.data(), walk.dents.size());
        }
        if (got <= 0) return true; // the end, or the folder cannot be read (any more)
        for (ssize_t offset = 0; offset < got;) {
            const auto *dirent =
                reinterpret_cast<const struct dirent64 *>(walk.dents.data() + offset);
            offset += dirent->d_reclen;
            if (isDotOrDotDot(dirent->d_name)) continue;
            pump();
            Entry entry;
            entry.name = dirent->d_name;
            entry.nameSize = qsizetype(std::strlen(dirent->d_name));
            entry.type = dirent->d_type;
            if (entry.type == DT_UNKNOWN) {
                entry.statted = ::statx(fd, entry.name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                                        kStatxMask, &entry.st) == 0;
                entry.type = entry.statted ? typeOfMode(entry.st.stx_mode) : (unsigned char)DT_FIFO;
            }
            if (entry.type != DT_DIR) ++FilesSeen;
            if (entry.type == DT_DIR) {
                if (RecurseDirs && !keptAway(walk, fd, entry.name))
                    walk.subdirs.append(entry.name, size_t(entry.nameSize) + 1);
            } else if ((entry.type == DT_REG || entry.type == DT_LNK) &&
                       PassesFilters(walk, fd, entry, Cancel) && OnAddFile) {
                TFindData &data = walk.data;
                const struct statx &st = entry.st;
                data.attributes = entry.attributes;
                data.lastWriteTime = nanoseconds(st.stx_mtime);
                data.lastAccessTime = nanoseconds(st.stx_atime);
                data.changeTime = nanoseconds(st.stx_ctime);
                data.creationTime =
                    nanoseconds((st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_ctime);
                data.size = qint64(st.stx_size);
                data.isSymlink = S_ISLNK(st.stx_mode);
                data.folderFd = fd;
                data.device = quint64(makedev(st.stx_dev_major, st.stx_dev_minor));
                data.inode = quint64(st.stx_ino);
                data.name.resize(entry.nameSize);
                std::memcpy(data.name.data(), entry.name, size_t(entry.nameSize));
                OnAddFile(walk.dir, data, Cancel);
            }
            if (Cancel || m_stop) return false;
        }
    }
}

bool TKvFindFile::PassesFilters(Walk &walk, int fd, Entry &entry, bool &Cancel)
{
    // The name first: it needs no stat, and no other stage has a side effect
    // before the content test.
    if (!m_masks.matchesEverything() &&
        !m_masks.MatchesAnyMask(entry.name, entry.nameSize, walk.lowered))
        return false;
    // A regular file whose content will be read is opened first and examined
    // through its descriptor: one lookup of its name instead of two. Where no
    // other filter needs its statx, the content test runs first, and most
    // files need none at all (content_reader.h).
    bool keepsAccessTime = false;
    if (!entry.statted && entry.type == DT_REG && !m_search.pattern().isEmpty()) {
        entry.content = openContent(walk, fd, entry.name, keepsAccessTime);
        if (entry.content >= 0 && !walk.statFilters && keepsAccessTime)
            return scanFile(walk, fd, entry, Cancel) && examineFound(walk, entry);
        entry.statted = entry.content >= 0 &&
                        ::statx(entry.content, "", AT_EMPTY_PATH, kStatxMask, &entry.st) == 0;
    }
    if (!entry.statted &&
        ::statx(fd, entry.name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kStatxMask, &entry.st) != 0)
        return false; // vanished since it was listed
    entry.statted = true;
    const struct statx &st = entry.st;
    if (S_ISLNK(st.stx_mode)) {
        struct stat target;
        if (::fstatat(fd, entry.name, &target, 0) == 0 && S_ISDIR(target.st_mode))
            return false; // a link to a folder: neither entered nor reported
    } else if (!S_ISREG(st.stx_mode)) {
        return false;
    }
    const qint64 size = qint64(st.stx_size);
    if (size < walk.minSize || (!walk.maxOpen && size > walk.maxSize)) return false;
    const qint64 written = nanoseconds(st.stx_mtime);
    if ((!walk.fromOpen && written < walk.from) || (!walk.toOpen && written > walk.to))
        return false;
    entry.attributes = fileAttributes(st, entry.name, walk.uid);
    if (entry.attributes & m_excludedAttributes) return false;
    if (m_search.pattern().isEmpty()) return true;
    return scanFile(walk, fd, entry, Cancel);
}

// Names the file to OnScanFile and tells whether its content holds the text;
// entry.content is the file when it was opened already.
bool TKvFindFile::scanFile(Walk &walk, int fd, Entry &entry, bool &Cancel)
{
    if (OnScanFile) {
        const qsizetype dirSize = walk.dir.size();
        walk.dir.append(entry.name, entry.nameSize);
        OnScanFile(walk.dir, Cancel);
        walk.dir.truncate(dirSize);
    }
    if (entry.statted) {
        if (S_ISLNK(entry.st.stx_mode)) return false; // a link's target is never read
        if (qint64(entry.st.stx_size) < m_search.pattern().size()) return false;
    }
    if (entry.content < 0) {
        bool keepsAccessTime = false;
        entry.content = openContent(walk, fd, entry.name, keepsAccessTime);
    }
    return entry.content >= 0 &&
           walk.reader.holds(m_search, entry.content, entry.st, entry.statted, Pump);
}

// A file whose content was searched before anything else: what the handlers
// are told of it, once it proved to hold the text and to be a regular file.
bool TKvFindFile::examineFound(Walk &walk, Entry &entry)
{
    if (!entry.statted)
        entry.statted = ::statx(entry.content, "", AT_EMPTY_PATH, kStatxMask, &entry.st) == 0;
    if (!entry.statted || !S_ISREG(entry.st.stx_mode)) return false;
    entry.attributes = fileAttributes(entry.st, entry.name, walk.uid);
    return true;
}

// Opens a file for reading its content, without following a link or
// waiting, making room among the walk's descriptors when they run short.
// keepsAccessTime tells whether reading it leaves its access time alone.
int TKvFindFile::openContent(Walk &walk, int fd, const char *name, bool &keepsAccessTime)
{
    constexpr int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    for (;;) {
        const int opened = ::openat(fd, name, flags | (walk.noAtime ? O_NOATIME : 0));
        if (opened >= 0) {
            keepsAccessTime = walk.noAtime;
            return opened;
        }
        if (errno == EPERM && walk.noAtime)
            walk.noAtime = false; // another user's file
        else if ((errno != EMFILE && errno != ENFILE) || !walk.folders.releaseOne())
            return -1;
    }
}

} // namespace clarivex
