#pragma once

// TKvFindFile: the engine with which every scan walks a folder tree.
//
// A caller sets the filters (attributes, masks, text, sizes, dates, recursion)
// and calls Execute with a start folder. The finder calls OnChDir for every
// folder it is about to read and OnAddFile for every file that passed all
// filters, and AfterExecute once at the end, whatever happened. It changes
// nothing on disk.
//
// Order: every file of a folder is reported before anything below it;
// subfolders follow in the order the folder lists them (not sorted).
//
// Filters run cheapest first: the name needs no stat, size, date and
// attributes need one statx, the content is read last. Since only the content
// stage has a side effect (OnScanFile), the outcome is that of testing size,
// date, attributes, name and content in this order. With no size, date or
// attribute filter set, a content search reads a file before any statx, and
// only a file that holds the text (or fills a whole block) is examined.
//
// The content is read without changing the file's access time where the
// user may ask for that (their own files), so a search does not make files
// look recently used.
//
// Linux: symbolic links to folders are never entered or reported; a folder
// reached a second time (same device and inode) is not read again; sockets,
// FIFOs and device nodes are never reported; any other symbolic link is
// reported as itself, and its target's content is never read. Paths are bytes
// and reach the handlers unchanged, folders with a trailing "/".
//
// No walk enters the Trash, a volume's trash or the backup folders
// (kept_away_folders.h): the start folder itself included.
//
// Every folder is opened relative to its parent (folder_stack.h), so paths of
// any length are walked with a bounded number of descriptors; OnAddFile gets
// the open folder in TFindData::folderFd, so the handler need not resolve the
// path again.

#include "core/base/find_data.h"
#include "core/search/content_reader.h"
#include "core/search/kept_away_folders.h"
#include "core/search/kv_mask.h"
#include "core/search/kv_search.h"
#include "core/search/mount_fence.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace clarivex {

class TKvFindFile
{
public:
    using TAddEvent =
        std::function<void(const QByteArray &Path, const TFindData &Data, bool &Cancel)>;
    using TFileEvent = std::function<void(const QByteArray &Name, bool &Cancel)>;
    using TNotifyEvent = std::function<void(TKvFindFile &Sender)>;

    // Date/time values (days from 1899-12-30, local) at the ends of the range
    // that the date bounds are clamped to. A bound at its own end is no bound.
    static constexpr double kDateRangeFirst = 29221.0; // 1980-01-01 00:00:00
    static constexpr double kDateRangeLast = 73050.0;  // 2099-12-31 00:00:00
    // The content test reads files in blocks of this size (plus the pattern's
    // length less one, kept from the previous block), the pump running after
    // each; a block slower than 20 ms halves the next (content_reader.h).
    static constexpr qsizetype kContentBlockSize = ContentReader::kBlockSize;

    TKvFindFile();
    ~TKvFindFile();
    TKvFindFile(const TKvFindFile &) = delete;
    TKvFindFile &operator=(const TKvFindFile &) = delete;

    // The attribute bits (0..63) that a reported file may carry.
    [[nodiscard]] int Attributes() const { return 0x3F & ~m_excludedAttributes; }
    void SetAttributes(int value) { m_excludedAttributes = quint8(0x3F & ~value); }
    [[nodiscard]] quint8 ExcludedAttributes() const { return m_excludedAttributes; }

    [[nodiscard]] QString FileMask() const { return m_masks.text(); }
    void SetFileMask(const QString &value) { m_masks.setText(value); }
    void SetFileMaskBytes(const QByteArray &value) { m_masks.setBytes(value); }
    [[nodiscard]] const TKvMaskList &maskList() const { return m_masks; }
    [[nodiscard]] bool MatchesAnyMask(const QByteArray &name) const
    {
        return m_masks.MatchesAnyMask(name);
    }

    [[nodiscard]] QString FindString() const { return m_findString; }
    void SetFindString(const QString &value);
    [[nodiscard]] const TKvSearch &search() const { return m_search; }

    // Local date/time values; -1.0 when the stored bound cannot be converted.
    [[nodiscard]] double DateFrom() const { return m_dateFrom.value; }
    void SetDateFrom(double value) { m_dateFrom = dateBound(value); }
    [[nodiscard]] double DateTo() const { return m_dateTo.value; }
    void SetDateTo(double value) { m_dateTo = dateBound(value); }
    // The stored bounds as file times (nanoseconds since 1970, UTC).
    [[nodiscard]] qint64 dateFromTime() const { return m_dateFrom.time; }
    [[nodiscard]] qint64 dateToTime() const { return m_dateTo.time; }

    // Bytes. A file's real 64-bit size is compared; MaxSize at 2147483647
    // (its default and highest value) sets no upper bound.
    qint32 MinSize = 0;
    qint32 MaxSize = 2147483647;
    bool RecurseDirs = true;
    // Only the start folder's volume is walked: a volume mounted below it is
    // a drive of its own. Pseudo file systems (proc, sysfs, ...) are never
    // entered either way.
    bool StayOnFileSystem = false;
    // The folders never entered; set from the stored options by every scan.
    KeptAwayFolders KeptAway;

    TAddEvent OnAddFile;
    TFileEvent OnChDir;
    TFileEvent OnScanFile;
    TNotifyEvent BeforeExecute; // on every folder visited, before OnChDir
    TNotifyEvent AfterExecute;  // once at the end of every Execute
    // A folder that exists but cannot be read (access denied, ...): its path
    // (trailing "/") and errno. The walk goes on without it.
    std::function<void(const QByteArray &Path, int Error)> OnFolderError;
    // Folders that could not be read, counted across walks until set to 0.
    qint64 UnreadableFolders = 0;
    // With DeferBelow > 0, a folder that many levels below the start folder
    // is not walked here: once the walk would enter it (every check above
    // passed), its path (no trailing "/") goes to OnDefer, which answers true
    // when it walks the folder elsewhere (another finder with the same
    // filters, on another thread), false to have it walked here.
    std::function<bool(const QByteArray &Path)> OnDefer;
    int DeferBelow = 0;
    // "Process pending window messages": called on entering every folder,
    // before every entry and before every block of a content test.
    std::function<void()> Pump;

    // True if the whole tree was walked; false if Path is not a folder or the
    // walk was cancelled or stopped. May be called again from AfterExecute.
    bool Execute(const QByteArray &Path);
    bool Execute(const QString &Path);
    // Ends the walk at the next check (after the current entry, or on
    // entering the next folder).
    void Stop() { m_stop = true; }
    // Whether the last walk was stopped (until the next Execute starts).
    [[nodiscard]] bool Stopped() const { return m_stop; }
    // While OnChDir runs: the folder it names, open (-1 when it could not be
    // opened), so a handler can look inside it without its path.
    [[nodiscard]] int CurrentFolderFd() const { return m_currentFolderFd; }
    // While OnChDir runs: whether the folder holds an entry of exactly this
    // name, where its listing was read whole before (most folders fit in
    // one read); nothing where the folder is too large or was not opened.
    [[nodiscard]] std::optional<bool> CurrentFolderHolds(const char *name) const;
    // Walks on other threads of the same scan: what `other` learnt of the
    // mounts in its last Execute is this finder's too (thread-safe), so a
    // branch reads no table. Otherwise every Execute reads a fresh one.
    void ShareMountsWith(const TKvFindFile &other)
    {
        m_mounts = other.m_mounts;
        m_mountsShared = true;
    }
    // Folders entered and other entries (files, links, ...) met, counted
    // across walks until set to 0: the progress a window shows.
    qint64 FoldersSeen = 0;
    qint64 FilesSeen = 0;

private:
    struct DateBound
    {
        qint64 time = 0;    // ns since 1970 UTC
        double value = 0.0; // local date/time value, as the getter returns it
    };
    struct Walk;
    struct Entry;

    [[nodiscard]] static DateBound dateBound(double value);
    // Walks the folder walk.dir, the deepest of walk.folders when opened.
    [[nodiscard]] bool ScanDirectory(Walk &walk, bool opened);
    // Reads a folder's entries: reports its files, collects its subfolders.
    void listAhead(Walk &walk, int fd);
    [[nodiscard]] bool readEntries(Walk &walk, int fd);
    void scanSubdirectory(Walk &walk, qsizetype nameOffset, bool &ok);
    [[nodiscard]] static bool keptAway(Walk &walk, int fd, const char *name);
    void folderError(Walk &walk, int error);
    [[nodiscard]] bool PassesFilters(Walk &walk, int fd, Entry &entry, bool &Cancel);
    [[nodiscard]] bool scanFile(Walk &walk, int fd, Entry &entry, bool &Cancel);
    [[nodiscard]] static bool examineFound(Walk &walk, Entry &entry);
    [[nodiscard]] static int openContent(Walk &walk, int fd, const char *name,
                                         bool &keepsAccessTime);
    void pump() const
    {
        if (Pump) Pump();
    }

    quint8 m_excludedAttributes = 0;
    TKvMaskList m_masks;
    DateBound m_dateFrom;
    DateBound m_dateTo;
    QString m_findString;
    TKvSearch m_search;
    bool m_stop = false;
    int m_currentFolderFd = -1;
    const Walk *m_currentWalk = nullptr; // while OnChDir runs
    std::shared_ptr<MountTable> m_mounts;
    bool m_mountsShared = false;
};

} // namespace clarivex
