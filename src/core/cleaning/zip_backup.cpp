#include "core/cleaning/zip_backup.h"

#include "core/cleaning/entry_names.h"
#include "core/cleaning/unique_fd.h"
#include "core/cleaning/zip_archive_folder.h"
#include "core/cleaning/zip_deflate_pool.h"
#include "core/cleaning/zip_entry_meta.h"
#include "core/cleaning/zip_file_source.h"
#include "core/cleaning/zip_messages.h"
#include "core/cleaning/zip_read_back.h"

#include <QSet>
#include <QUtf8StringView>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>

namespace clarivex::cleaning {

struct TZip::Pending
{
    qsizetype item = 0;
    FileIdentity identity;                    // as it was read
    std::unique_ptr<ZipFileSource> file;      // a file written as it is read
    std::unique_ptr<DeflatedSource> deflated; // a file deflated ahead, by the pool
    qsizetype job = -1;                       // its job in the pool
    zip_int64_t index = -1;                   // of its entry
    QByteArray linkText;

    [[nodiscard]] int error() const
    {
        return file ? file->error() : deflated ? deflated->error() : 0;
    }
    [[nodiscard]] quint32 crc() const
    {
        if (file) return file->crc();
        if (deflated) return deflated->crc();
        return quint32(libdeflate_crc32(0, linkText.constData(), size_t(linkText.size())));
    }
    [[nodiscard]] qint64 size() const
    {
        return file ? file->bytesRead() : deflated ? deflated->bytesRead() : linkText.size();
    }
};

namespace {

int deflateLevel(TDeflateType type)
{
    switch (type) {
    case dtDeflateS:
        return 1;
    case dtDeflateF:
        return 3;
    case dtDeflateN:
        return 6;
    case dtDeflateX:
        return 9;
    }
    return 6;
}

QString zipErrorString(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

QByteArray entryNameFor(const QByteArray &path, TStoredDirNames stored)
{
    if (stored == sdNone) return splitPath(path).name;
    qsizetype start = 0;
    while (start < path.size() && path[start] == '/')
        ++start;
    return path.mid(start);
}

// Files up to this size are read whole and deflated by the pool; larger ones
// are written as they are read. The pool holds at most about this many bytes.
constexpr qint64 kWholeFileLimit = 64LL << 20;
constexpr qint64 kPoolBudget = 128LL << 20;
// Commits tried again, each without the files that changed during the last.
constexpr int kMaxCommitAttempts = 16;

// An entry name is marked UTF-8 only when it is UTF-8 without control
// characters (libzip refuses those under the UTF-8 flag); any other name is
// kept byte for byte, unmarked.
zip_flags_t nameEncoding(const QByteArray &name)
{
    for (const char c : name) {
        if (uchar(c) < 0x20 || c == 0x7f) return ZIP_FL_ENC_CP437;
    }
    return QUtf8StringView(name).isValidUtf8() ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_CP437;
}

// The raw names of the archive's entries (zip_name_locate() does not find a
// name that is not UTF-8 by its bytes).
QSet<QByteArray> entryNames(zip_t *archive)
{
    QSet<QByteArray> names;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i)
        names.insert(zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_RAW));
    return names;
}

// A name no entry of the archive has yet: "dir/name (2).ext" when taken.
QByteArray freeEntryName(const QSet<QByteArray> &taken, const QByteArray &name)
{
    const PathParts parts = splitPath(name);
    const QByteArray folder = parts.folder == "." ? QByteArray() : parts.folder + '/';
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QByteArray candidate = folder + collisionName(parts.name, n);
        if (!taken.contains(candidate)) return candidate;
    }
    return {};
}

// CRC-32 and size of an entry as it reads back; false when it cannot be read
// whole (libzip also checks the stored CRC at its end).
bool readBackStreamed(zip_t *archive, zip_int64_t index, quint32 &crc, qint64 &size)
{
    zip_file_t *file = zip_fopen_index(archive, zip_uint64_t(index), 0);
    if (!file) return false;
    crc = 0;
    size = 0;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    zip_int64_t got;
    while ((got = zip_fread(file, buffer.data(), zip_uint64_t(buffer.size()))) > 0) {
        crc = quint32(libdeflate_crc32(crc, buffer.constData(), size_t(got)));
        size += got;
    }
    zip_fclose(file);
    return got == 0;
}

} // namespace

bool readBackEntry(zip_t *archive, zip_int64_t index, ReadBackBuffers &buffers, quint32 &crc,
                   qint64 &size)
{
    zip_stat_t st;
    if (zip_stat_index(archive, zip_uint64_t(index), 0, &st) != 0) return false;
    const bool deflated = st.comp_method == ZIP_CM_DEFLATE;
    constexpr zip_uint64_t kWhole = ReadBackBuffers::kWholeLimit;
    if ((!deflated && st.comp_method != ZIP_CM_STORE) || st.size > kWhole || st.comp_size > kWhole)
        return readBackStreamed(archive, index, crc, size) && crc == st.crc;
    // Read raw, one byte more than the directory says to see an entry that is longer.
    zip_file_t *file = zip_fopen_index(archive, zip_uint64_t(index), ZIP_FL_COMPRESSED);
    if (!file) return false;
    QByteArray &raw = buffers.raw;
    raw.resize(qsizetype(st.comp_size) + 1);
    qsizetype got = 0;
    zip_int64_t n = 0;
    while (got < raw.size() &&
           (n = zip_fread(file, raw.data() + got, zip_uint64_t(raw.size() - got))) > 0)
        got += qsizetype(n);
    zip_fclose(file);
    if (n < 0 || got != qsizetype(st.comp_size)) return false;
    return buffers.sum(raw.constData(), size_t(got), deflated, st.size, crc, size) && crc == st.crc;
}

bool ReadBackBuffers::sum(const char *data, size_t length, bool deflated, quint64 plainSize,
                          quint32 &crc, qint64 &size)
{
    if (deflated) {
        if (!inflater) inflater = libdeflate_alloc_decompressor();
        if (!inflater) return false;
        plain.resize(qsizetype(plainSize));
        size_t in = 0;
        size_t out = 0;
        if (libdeflate_deflate_decompress_ex(inflater, data, length, plain.data(),
                                             size_t(plainSize), &in, &out) != LIBDEFLATE_SUCCESS ||
            in != length || out != size_t(plainSize))
            return false;
        data = plain.constData();
        length = out;
    }
    crc = quint32(libdeflate_crc32(0, data, length));
    size = qint64(length);
    return true;
}

ReadBackBuffers::~ReadBackBuffers()
{
    libdeflate_free_decompressor(inflater);
}

namespace {

void syncToDisk(const QByteArray &archive)
{
    for (const QByteArray &path : {archive, splitPath(archive).folder}) {
        const UniqueFd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC));
        if (fd.valid()) ::fsync(fd.get());
    }
}

} // namespace

bool TZip::isCompressedAlready(const QByteArray &name)
{
    static const QList<QByteArray> kExtensions{
        "zip",  "gz",   "tgz",  "bz2",  "xz",  "zst", "7z",   "rar", "lz",  "lzma", "lz4",
        "cab",  "jar",  "apk",  "deb",  "rpm", "jpg", "jpeg", "png", "gif", "webp", "heic",
        "avif", "mp3",  "mp4",  "m4a",  "m4v", "mkv", "avi",  "mov", "ogg", "opus", "flac",
        "webm", "docx", "xlsx", "pptx", "odt", "ods", "odp",  "epub"};
    const qsizetype dot = name.lastIndexOf('.');
    return dot >= 0 && kExtensions.contains(name.mid(dot + 1).toLower());
}

int TZip::cores() const
{
    return Threads > 0 ? Threads : DeflatePool::coreCount();
}

void TZip::error(const QByteArray &fileName, const QString &extra, int code)
{
    if (OnError) OnError(fileName, extra, 0, code);
}

void TZip::fail(qsizetype item, const EntryResult &result, int code)
{
    m_items[item].state = ZipItemState::Failed;
    m_items[item].result = result;
    error(m_items[item].path, result.reason, code);
}

int TZip::Compress()
{
    m_items.clear();
    m_bytesQueued = 0;
    m_bytesTotal = 0;
    if (OnActivate) OnActivate();
    for (const QByteArray &path : FileSpec)
        m_items.append({path,
                        {},
                        ZipItemState::Failed,
                        EntryResult::refused(ECANCELED, QStringLiteral("not archived"))});
    if (FileSpec.isEmpty()) return 0;
    const auto refuseAll = [this](int code, const QString &reason, int message) {
        error(ArchiveFile, reason, message);
        for (ZipItem &item : m_items)
            item.result = EntryResult::refused(code, reason);
        return 0;
    };
    ArchiveFolderLock lock;
    if (const int code = lock.acquire(splitPath(ArchiveFile).folder, LockWaitMs, Cancelled)) {
        if (code == ECANCELED) return refuseAll(code, zipMessageText(zmUserAborted), zmUserAborted);
        const QString reason =
            code == EWOULDBLOCK ? QStringLiteral("another clean is still writing to this archive")
                                : QString::fromLocal8Bit(std::strerror(code));
        return refuseAll(code, reason, zmErrorOpening);
    }
    (void)removeStaleTemporaries(lock.folderFd());
    bool created = false;
    if (const int code = prepareArchiveFile(ArchiveFile, created))
        return refuseAll(code, QString::fromLocal8Bit(std::strerror(code)),
                         zipMessageForErrno(code, zmErrorOpening));
    const int archived = compressLocked(created);
    struct stat st;
    if (created && ::lstat(ArchiveFile.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
        st.st_size == 0)
        ::unlink(ArchiveFile.constData()); // made empty above, and nothing was written to it
    return archived;
}

int TZip::compressLocked(bool created)
{
    int code = 0;
    // An archive made empty just now is opened as a new one (and written with its mode, 0600).
    zip_t *archive =
        zip_open(ArchiveFile.constData(), ZIP_CREATE | (created ? ZIP_TRUNCATE : 0), &code);
    if (!archive) {
        error(ArchiveFile, zipErrorString(code), zmErrorOpening);
        for (ZipItem &item : m_items)
            item.result = EntryResult::refused(EIO, zipErrorString(code));
        return 0;
    }
    m_names = entryNames(archive);
    m_leftOut.clear();

    // What each file is to be: a link's text, a file written as it is read
    // (stored, or too large to hold whole), or a job of the pool.
    std::vector<Pending> pending;
    std::vector<struct stat> stats;
    QList<DeflateJob> jobs;
    for (qsizetype i = 0; i < FileSpec.size(); ++i) {
        const std::optional<struct stat> st = checkSource(i);
        if (!st) continue;
        Pending entry;
        entry.item = i;
        entry.identity = FileIdentity::fromStat(*st);
        if (entry.identity.kind == FileKind::Regular && !storedAsIs(i) &&
            entry.identity.size <= kWholeFileLimit) {
            entry.job = jobs.size();
            jobs.append({FileSpec[i], entry.identity});
        }
        m_bytesTotal += entry.identity.size;
        pending.push_back(std::move(entry));
        stats.push_back(*st);
    }
    auto pool =
        std::make_unique<DeflatePool>(jobs, deflateLevel(DeflateType), cores(), kPoolBudget);
    std::vector<Pending> added;
    for (size_t k = 0; k < pending.size(); ++k) {
        if (addEntry(archive, pending[k], stats[k], *pool))
            added.push_back(std::move(pending[k]));
        else if (pending[k].job >= 0)
            (void)pool->take(pending[k].job); // its job is not waited for again
    }
    pending = std::move(added);
    if (pending.empty()) {
        zip_discard(archive);
        return 0;
    }
    // A file that vanished or changed while it was read is left out, and the
    // others are written again without it.
    for (int attempt = 0;; ++attempt) {
        if (commit(archive, pending)) break;
        if (attempt >= kMaxCommitAttempts || !leaveOutChanged(archive, pending, *pool)) {
            reportCommitFailure(archive, pending);
            return 0;
        }
        if (pending.empty()) {
            zip_discard(archive);
            return 0;
        }
        QList<DeflateJob> again;
        for (Pending &entry : pending) {
            if (!entry.deflated) continue;
            entry.job = again.size();
            again.append({FileSpec[entry.item], entry.identity});
        }
        auto next =
            std::make_unique<DeflatePool>(again, deflateLevel(DeflateType), cores(), kPoolBudget);
        for (Pending &entry : pending) {
            if (entry.deflated) entry.deflated->rebind(*next, entry.job);
        }
        pool = std::move(next);
        m_bytesQueued = 0;
    }
    pool.reset();
    // The written archive has no gaps: later entries moved up over those left out.
    for (Pending &entry : pending)
        entry.index -= std::count_if(m_leftOut.begin(), m_leftOut.end(),
                                     [&](zip_int64_t gone) { return gone < entry.index; });
    syncToDisk(ArchiveFile);
    return verifyAndRemove(pending);
}

std::optional<struct stat> TZip::checkSource(qsizetype item)
{
    const QByteArray &path = FileSpec[item];
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) {
        const int error = errno;
        fail(item, EntryResult::failed(error), zipMessageForErrno(error, zmErrorOpening));
        return std::nullopt;
    }
    const std::optional<FileIdentity> &expected =
        item < FileIdentities.size() ? FileIdentities[item] : std::nullopt;
    const QString mismatch =
        expected ? identityMismatch(*expected, FileIdentity::fromStat(st)) : QString();
    if (!mismatch.isEmpty()) {
        fail(item, EntryResult::refused(ESTALE, mismatch), zmFileChanged);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        fail(item, EntryResult::refused(EINVAL, QStringLiteral("not a file")), zmNotAFile);
        return std::nullopt;
    }
    return st;
}

bool TZip::storedAsIs(qsizetype item) const
{
    return CompressMethod == cmStore ||
           (StoreAlreadyCompressedFiles && isCompressedAlready(FileSpec[item]));
}

zip_source_t *TZip::makeSource(zip_t *archive, Pending &entry, DeflatePool &pool)
{
    const QByteArray &path = FileSpec[entry.item];
    if (entry.identity.kind == FileKind::Symlink) {
        QByteArray text(qsizetype(entry.identity.size) + 1, Qt::Uninitialized);
        const ssize_t got = ::readlink(path.constData(), text.data(), size_t(text.size()));
        if (got < 0) return nullptr;
        entry.linkText = text.left(got);
        return zip_source_buffer(archive, entry.linkText.constData(), zip_uint64_t(got), 0);
    }
    const int number = int(entry.item) + 1;
    const qint64 size = entry.identity.size;
    // Events reach the caller on its own thread, as the archive is written.
    const auto begin = [this, path, number, size] {
        const qint64 before = m_bytesQueued;
        m_bytesQueued += size;
        bool extract = false;
        if (OnBegin) OnBegin(path, number, extract);
        return before;
    };
    const auto progress = [this, size](qint64 before, qint64 bytes) {
        if (OnProgress) {
            const qint64 total = qMax<qint64>(m_bytesTotal, 1);
            OnProgress(size ? int(bytes * 100 / size) : 100, int((before + bytes) * 100 / total));
        }
        return !(Cancelled && Cancelled());
    };
    if (entry.job >= 0) {
        DeflatedSource::Hooks hooks;
        hooks.opened = [begin, progress, size] { return progress(begin(), size); };
        entry.deflated = std::make_unique<DeflatedSource>(pool, entry.job,
                                                          DeflateJob{path, entry.identity}, hooks);
        return entry.deflated->create(archive);
    }
    auto before = std::make_shared<qint64>(0);
    ZipFileSource::Hooks hooks;
    hooks.opened = [begin, before] { *before = begin(); };
    hooks.read = [progress, before](qint64 bytes) { return progress(*before, bytes); };
    entry.file = std::make_unique<ZipFileSource>(path, entry.identity, hooks);
    return entry.file->create(archive);
}

bool TZip::addEntry(zip_t *archive, Pending &entry, const struct stat &st, DeflatePool &pool)
{
    const qsizetype item = entry.item;
    zip_source_t *source = makeSource(archive, entry, pool);
    const QByteArray natural = entryNameFor(FileSpec[item], StoredDirNames);
    const QByteArray name = freeEntryName(m_names, natural);
    const zip_int64_t index = source && !name.isEmpty() ? zip_file_add(archive, name.constData(),
                                                                       source, nameEncoding(name))
                                                        : -1;
    if (index < 0) {
        if (source) zip_source_free(source);
        fail(item, EntryResult::refused(EIO, QString::fromLocal8Bit(zip_strerror(archive))),
             zmErrorUpdating);
        return false;
    }
    const bool store = storedAsIs(item) && entry.job < 0;
    if (zip_set_file_compression(archive, zip_uint64_t(index),
                                 store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 store ? 0 : zip_uint32_t(deflateLevel(DeflateType))) != 0 ||
        !writeEntryMeta(archive, zip_uint64_t(index),
                        EntryMeta::of(st, entry.identity.modified, natural, name))) {
        zip_delete(archive, zip_uint64_t(index));
        fail(item, EntryResult::refused(EIO, QString::fromLocal8Bit(zip_strerror(archive))),
             zmErrorUpdating);
        return false;
    }
    m_items[item].entryName = name;
    m_names.insert(name);
    entry.index = index;
    return true;
}

bool TZip::commit(zip_t *archive, std::vector<Pending> &)
{
    return zip_close(archive) == 0;
}

bool TZip::leaveOutChanged(zip_t *archive, std::vector<Pending> &pending, DeflatePool &pool)
{
    QSet<qsizetype> failedJobs;
    for (qsizetype job : pool.failedSoFar())
        failedJobs.insert(job);
    std::vector<Pending> kept;
    bool left = false;
    for (Pending &entry : pending) {
        int code = entry.error();
        QString reason = entry.deflated ? entry.deflated->reason() : QString();
        if (code == 0 && entry.job >= 0 && failedJobs.contains(entry.job)) {
            const DeflatedFile result = pool.take(entry.job);
            code = result.error;
            reason = result.reason;
        }
        if (code == 0 || code == ECANCELED) {
            kept.push_back(std::move(entry));
            continue;
        }
        if (reason.isEmpty())
            reason = code == ESTALE ? QStringLiteral("changed while it was archived")
                                    : QString::fromLocal8Bit(std::strerror(code));
        m_names.remove(m_items[entry.item].entryName);
        m_items[entry.item].entryName.clear();
        zip_delete(archive, zip_uint64_t(entry.index));
        m_leftOut << entry.index;
        fail(entry.item, EntryResult::refused(code, reason),
             zipMessageForErrno(code, zmErrorReading));
        left = true;
    }
    pending = std::move(kept);
    return left;
}

void TZip::reportCommitFailure(zip_t *archive, std::vector<Pending> &pending)
{
    // The file whose read stopped the archive, if one did.
    const Pending *culprit = nullptr;
    for (const Pending &entry : pending) {
        if (entry.error() != 0) culprit = &entry;
    }
    zip_error_t *zipError = zip_get_error(archive);
    const int system =
        zip_error_system_type(zipError) == ZIP_ET_SYS ? zip_error_code_system(zipError) : 0;
    const int failure = culprit ? culprit->error() : system;
    const QString reason = failure ? QString::fromLocal8Bit(std::strerror(failure))
                                   : QString::fromLocal8Bit(zip_error_strerror(zipError));
    const QByteArray where = culprit ? FileSpec[culprit->item] : ArchiveFile;
    error(where, reason, zipMessageForErrno(failure, culprit ? zmErrorReading : zmErrorUpdating));
    zip_discard(archive);
    const QString because =
        QStringLiteral("not archived (%1: %2)").arg(QString::fromLocal8Bit(where), reason);
    for (const Pending &entry : pending) {
        m_items[entry.item].result =
            EntryResult::refused(failure ? failure : EIO, &entry == culprit ? reason : because);
    }
}

std::unique_ptr<ReadBackRun> TZip::startReadBack(const std::vector<Pending> &pending)
{
    std::vector<ReadBackRun::Expected> expected;
    expected.reserve(pending.size());
    for (const Pending &entry : pending)
        expected.push_back({entry.index, m_items[entry.item].entryName, entry.crc(), entry.size()});
    auto run = std::make_unique<ReadBackRun>(ArchiveFile, std::move(expected), cores() > 1);
    if (run->openError()) error(ArchiveFile, zipErrorString(run->openError()), zmErrorOpening);
    return run;
}

bool TZip::readBack(ReadBackRun &run, const std::vector<Pending> &pending, qsizetype k)
{
    const Pending &entry = pending[size_t(k)];
    const bool pass = run.passed(k);
    if (OnEnd) OnEnd(FileSpec[entry.item], pass);
    if (pass) {
        m_items[entry.item].state = ZipItemState::Archived;
        m_items[entry.item].result = EntryResult::done(ArchiveFile);
    } else {
        fail(entry.item, EntryResult::refused(EIO, zipMessageText(zmCrcMismatch)), zmCrcMismatch);
    }
    return pass;
}

int TZip::verifyAndRemove(const std::vector<Pending> &pending)
{
    // The entries are read back in order on a thread of their own; a source
    // goes as soon as its own entry was found equal, while the next are checked.
    const std::unique_ptr<ReadBackRun> run = startReadBack(pending);
    const qsizetype count = qsizetype(pending.size());
    std::vector<char> passed(size_t(count), 0);
    qsizetype reached = 0; // the entries whose check was taken
    if (Switch == swMove) {
        QList<QByteArray> paths;
        QList<std::optional<FileIdentity>> identities;
        for (const Pending &entry : pending) {
            paths << FileSpec[entry.item];
            identities << entry.identity;
        }
        TFileOperation remove;
        remove.setOperation(foDelete);
        remove.setFlags(fofNoConfirmation | fofSilent | fofFilesOnly |
                        (DeleteOptions == doAllowUndo ? fofAllowUndo : TFileOpFlag(0)));
        remove.setSourcePaths(paths);
        remove.setSourceIdentities(identities);
        remove.setCallbacks({{}, RemoveCallbacks.deleteForGood, {}});
        if (Trash) remove.setTrashPlaces(*Trash);
        remove.setTrashAhead(cores() > 1);
        remove.setLastLook([&](qsizetype k, std::optional<FileIdentity> &) {
            reached = k + 1;
            passed[size_t(k)] = readBack(*run, pending, k);
            return passed[size_t(k)] ? QString() : zipMessageText(zmCrcMismatch);
        });
        (void)remove.Execute();
        for (qsizetype k = 0; k < reached; ++k) {
            if (!passed[size_t(k)]) continue; // failed and reported already
            const FileOpOutcome &outcome = remove.Outcomes()[k];
            ZipItem &item = m_items[pending[size_t(k)].item];
            if (outcome.state == FileOpState::Done) {
                item.state = ZipItemState::Removed;
                continue;
            }
            item.result = outcome.result;
            error(item.path, outcome.result.reason,
                  outcome.state == FileOpState::Kept ? zmFileKept : zmErrorDeleting);
        }
    }
    for (qsizetype k = reached; k < count; ++k)
        passed[size_t(k)] = readBack(*run, pending, k);
    return int(std::count(passed.begin(), passed.end(), 1));
}

} // namespace clarivex::cleaning
