#pragma once

// TZip: the zip backup of a clean. With Switch swMove each listed file is
// added to the archive and then removed from its folder (to the Trash with
// doAllowUndo), but only once the archive has been written and closed, and
// the file's entry has been read back and found equal in CRC and size to what
// was read from the file. Nothing of a failed archive is kept and no source
// of it is removed.
//
// The archive is written beside its final name and renamed into place when
// complete (libzip's commit). The folder is locked for the whole run, so two
// runs into one archive follow each other; temporary archives that killed
// runs left there are removed first, and the archive is kept private (0600).
// Files are deflated on every core (libdeflate), and written in their order.
// Once the archive is committed and synced, its entries are read back in
// order (zip_read_back.h) while the sources of those found equal already go,
// each only after its own entry was checked.
// A file that vanishes or changes while it is archived is left out, kept and
// reported; the others are written all the same. An archive that exists already gets the new
// entries added to it; its own entries are kept as they are, and a name that
// is taken gets a "name (2).ext" entry instead. Entries are deflated at the
// chosen level, files that are compressed already are stored, Zip64 is used
// where sizes need it. Entry names are the full path without its leading "/"
// (sdAbsolute), as raw bytes when the path is not UTF-8; each entry keeps the
// file's mode and modification time. A symbolic link is archived as the link.
//
// Events report as the archive is made: OnActivate once, OnBegin when a file
// is read, OnProgress while it is read, OnEnd when its entry was checked, and
// OnError with the numbers of zip_messages.h.

#include "core/cleaning/entry_result.h"
#include "core/cleaning/file_identity.h"
#include "core/cleaning/file_operation.h"

#include <QByteArray>
#include <QList>
#include <QSet>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <sys/stat.h>
#include <zip.h>

struct libdeflate_decompressor;

namespace clarivex::cleaning {

class DeflatePool;
class ReadBackRun;

enum TSwitch { swAdd, swMove, swDelete, swRead };
enum TStoredDirNames { sdNone, sdAbsolute, sdAbsoluteNoDrv, sdRelative, sdRelativeStoreStart };
enum TDeleteOptions { doFinal, doAllowUndo };
enum TDeflateType { dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX };
enum TCompressMethod { cmStore, cmDeflate };

enum class ZipItemState {
    Failed,   // not in the archive
    Archived, // in the archive (checked); the file stayed where it was
    Removed,  // in the archive (checked), and the file left its folder
};

struct ZipItem
{
    QByteArray path;
    QByteArray entryName;
    ZipItemState state = ZipItemState::Failed;
    EntryResult result; // why it failed or stayed
};

// The read-back check of one entry: its bytes as they read back from the
// archive, their CRC-32 and size, true only when the entry reads whole and
// matches the CRC its directory records. An entry up to kWholeLimit is read
// raw and inflated in one go (libdeflate); a larger one streams through
// libzip. The buffers are reused from entry to entry (one per thread).
struct ReadBackBuffers
{
    static constexpr qint64 kWholeLimit = 16LL << 20;
    ReadBackBuffers() = default;
    ~ReadBackBuffers();
    ReadBackBuffers(const ReadBackBuffers &) = delete;
    ReadBackBuffers &operator=(const ReadBackBuffers &) = delete;
    // The entry's bytes `data` (deflated or stored) as they read back:
    // inflated into `plain` when deflated, which must give exactly
    // `plainSize` bytes and use all of `data`; then their CRC-32 and size.
    // False when they do not inflate so.
    [[nodiscard]] bool sum(const char *data, size_t length, bool deflated, quint64 plainSize,
                           quint32 &crc, qint64 &size);
    QByteArray raw;
    QByteArray plain;
    libdeflate_decompressor *inflater = nullptr;
};
[[nodiscard]] bool readBackEntry(zip_t *archive, zip_int64_t index, ReadBackBuffers &buffers,
                                 quint32 &crc, qint64 &size);

class TZip
{
public:
    TCompressMethod CompressMethod = cmDeflate;
    TDeflateType DeflateType = dtDeflateN;
    QByteArray DefaultExt = ".zip";
    TDeleteOptions DeleteOptions = doAllowUndo;
    bool StoreAlreadyCompressedFiles = true;
    bool VerifyBeforeDelete = true; // a move always checks; this cannot be turned off
    TSwitch Switch = swAdd;
    TStoredDirNames StoredDirNames = sdAbsolute;
    QByteArray ArchiveFile;
    QList<QByteArray> FileSpec;
    // What each file of FileSpec must still be (same order; empty: as found now).
    QList<std::optional<FileIdentity>> FileIdentities;

    std::function<void()> OnActivate;
    std::function<void(const QByteArray &fileName, int count, bool &extract)> OnBegin;
    std::function<void(int progressByFile, int progressByArchive)> OnProgress;
    std::function<void(const QByteArray &fileName, bool crcPass)> OnEnd;
    std::function<void(const QByteArray &fileName, const QString &extra, int volumeId, int code)>
        OnError;
    // Asked while files are read; true stops the archive (nothing is kept).
    std::function<bool()> Cancelled;
    // How long a run waits for another run into the same folder to end.
    int LockWaitMs = 5 * 60 * 1000;
    // Cores to deflate, read back and remove on (0: all this process may use).
    int Threads = 0;
    // For the removal of the archived files (the question for a file that no
    // Trash can take); the Trash places for tests.
    FileOpCallbacks RemoveCallbacks;
    std::optional<TrashPlaces> Trash;

    // Archives FileSpec; the number of files archived and checked (0: none).
    [[nodiscard]] int Compress();
    [[nodiscard]] const QList<ZipItem> &Items() const { return m_items; }

    // Whether a file of this name is stored rather than deflated.
    [[nodiscard]] static bool isCompressedAlready(const QByteArray &name);

private:
    struct Pending;
    [[nodiscard]] int cores() const;
    void error(const QByteArray &fileName, const QString &extra, int code);
    void fail(qsizetype item, const EntryResult &result, int code);
    [[nodiscard]] int compressLocked(bool created);
    [[nodiscard]] std::optional<struct stat> checkSource(qsizetype item);
    [[nodiscard]] bool storedAsIs(qsizetype item) const;
    [[nodiscard]] zip_source_t *makeSource(zip_t *archive, Pending &entry, DeflatePool &pool);
    [[nodiscard]] bool addEntry(zip_t *archive, Pending &entry, const struct stat &st,
                                DeflatePool &pool);
    [[nodiscard]] bool commit(zip_t *archive, std::vector<Pending> &pending);
    [[nodiscard]] bool leaveOutChanged(zip_t *archive, std::vector<Pending> &pending,
                                       DeflatePool &pool);
    void reportCommitFailure(zip_t *archive, std::vector<Pending> &pending);
    [[nodiscard]] std::unique_ptr<ReadBackRun> startReadBack(const std::vector<Pending> &pending);
    // Waits for the check of pending entry k, reports it (OnEnd) and notes it.
    [[nodiscard]] bool readBack(ReadBackRun &run, const std::vector<Pending> &pending, qsizetype k);
    // Checks every entry and (swMove) removes the sources of those found equal.
    [[nodiscard]] int verifyAndRemove(const std::vector<Pending> &pending);

    QList<ZipItem> m_items;
    qint64 m_bytesQueued = 0;
    qint64 m_bytesTotal = 0;
    QList<zip_int64_t> m_leftOut; // entries taken out again before the commit
    QSet<QByteArray> m_names;     // the entries of the archive being written
};

} // namespace clarivex::cleaning
