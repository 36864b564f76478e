#include "core/cleaning/zip_backup.h"

#include "core/cleaning/entry_names.h"
#include "core/cleaning/unique_fd.h"
#include "core/cleaning/zip_entry_meta.h"
#include "core/cleaning/zip_file_source.h"
#include "core/cleaning/zip_messages.h"

#include <QSet>
#include <QUtf8StringView>

#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <zlib.h>

namespace clarivex::cleaning {

struct TZip::Pending
{
    qsizetype item = 0;
    FileIdentity identity;               // as it was read
    std::unique_ptr<ZipFileSource> file; // null for a link
    zip_int64_t index = -1;              // of its entry
    QByteArray linkText;
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
bool readBack(zip_t *archive, zip_int64_t index, quint32 &crc, qint64 &size)
{
    zip_file_t *file = zip_fopen_index(archive, zip_uint64_t(index), 0);
    if (!file) return false;
    crc = quint32(crc32(0, nullptr, 0));
    size = 0;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    zip_int64_t got;
    while ((got = zip_fread(file, buffer.data(), zip_uint64_t(buffer.size()))) > 0) {
        crc = quint32(crc32(crc, reinterpret_cast<const Bytef *>(buffer.constData()), uInt(got)));
        size += got;
    }
    zip_fclose(file);
    return got == 0;
}

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
    if (OnActivate) OnActivate();
    for (const QByteArray &path : FileSpec)
        m_items.append({path,
                        {},
                        ZipItemState::Failed,
                        EntryResult::refused(ECANCELED, QStringLiteral("not archived"))});
    if (FileSpec.isEmpty()) return 0;
    int code = 0;
    zip_t *archive = zip_open(ArchiveFile.constData(), ZIP_CREATE, &code);
    if (!archive) {
        error(ArchiveFile, zipErrorString(code), zmErrorOpening);
        for (ZipItem &item : m_items)
            item.result = EntryResult::refused(EIO, zipErrorString(code));
        return 0;
    }
    m_names = entryNames(archive);
    std::vector<Pending> pending;
    for (qsizetype i = 0; i < FileSpec.size(); ++i)
        (void)addEntry(archive, i, pending);
    if (pending.empty()) {
        zip_discard(archive);
        return 0;
    }
    if (!commit(archive, pending)) return 0;
    syncToDisk(ArchiveFile);
    const QList<qsizetype> verified = verify(pending);
    if (Switch == swMove) removeSources(verified, pending);
    return int(verified.size());
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

zip_source_t *TZip::makeSource(zip_t *archive, Pending &entry)
{
    const QByteArray &path = FileSpec[entry.item];
    if (entry.identity.kind == FileKind::Symlink) {
        QByteArray text(qsizetype(entry.identity.size) + 1, Qt::Uninitialized);
        const ssize_t got = ::readlink(path.constData(), text.data(), size_t(text.size()));
        if (got < 0) return nullptr;
        entry.linkText = text.left(got);
        return zip_source_buffer(archive, entry.linkText.constData(), zip_uint64_t(got), 0);
    }
    const qint64 before = m_bytesQueued;
    m_bytesQueued += entry.identity.size;
    const int number = int(entry.item) + 1;
    ZipFileSource::Hooks hooks;
    hooks.opened = [this, path, number] {
        bool extract = false;
        if (OnBegin) OnBegin(path, number, extract);
    };
    hooks.read = [this, size = entry.identity.size, before](qint64 bytes) {
        if (OnProgress) {
            const qint64 total = qMax<qint64>(m_bytesQueued, 1);
            OnProgress(size ? int(bytes * 100 / size) : 100, int((before + bytes) * 100 / total));
        }
        return !(Cancelled && Cancelled());
    };
    entry.file = std::make_unique<ZipFileSource>(path, entry.identity, hooks);
    return entry.file->create(archive);
}

bool TZip::addEntry(zip_t *archive, qsizetype item, std::vector<Pending> &pending)
{
    const std::optional<struct stat> st = checkSource(item);
    if (!st) return false;
    Pending entry;
    entry.item = item;
    entry.identity = FileIdentity::fromStat(*st);
    zip_source_t *source = makeSource(archive, entry);
    const QByteArray natural = entryNameFor(FileSpec[item], StoredDirNames);
    const QByteArray name = freeEntryName(m_names, natural);
    const zip_flags_t encoding =
        QUtf8StringView(name).isValidUtf8() ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_CP437;
    const zip_int64_t index =
        source && !name.isEmpty() ? zip_file_add(archive, name.constData(), source, encoding) : -1;
    if (index < 0) {
        if (source) zip_source_free(source);
        fail(item, EntryResult::refused(EIO, QString::fromLocal8Bit(zip_strerror(archive))),
             zmErrorUpdating);
        return false;
    }
    const bool store = CompressMethod == cmStore ||
                       (StoreAlreadyCompressedFiles && isCompressedAlready(FileSpec[item]));
    if (zip_set_file_compression(archive, zip_uint64_t(index),
                                 store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 store ? 0 : zip_uint32_t(deflateLevel(DeflateType))) != 0 ||
        !writeEntryMeta(archive, zip_uint64_t(index),
                        EntryMeta::of(*st, entry.identity.modified, natural, name))) {
        zip_delete(archive, zip_uint64_t(index));
        fail(item, EntryResult::refused(EIO, QString::fromLocal8Bit(zip_strerror(archive))),
             zmErrorUpdating);
        return false;
    }
    m_items[item].entryName = name;
    m_names.insert(name);
    entry.index = index;
    pending.push_back(std::move(entry));
    return true;
}

bool TZip::commit(zip_t *archive, std::vector<Pending> &pending)
{
    if (zip_close(archive) == 0) return true;
    // The file whose read stopped the archive, if one did.
    const Pending *culprit = nullptr;
    for (const Pending &entry : pending) {
        if (entry.file && entry.file->error() != 0) culprit = &entry;
    }
    zip_error_t *zipError = zip_get_error(archive);
    const int system =
        zip_error_system_type(zipError) == ZIP_ET_SYS ? zip_error_code_system(zipError) : 0;
    const int failure = culprit ? culprit->file->error() : system;
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
    return false;
}

QList<qsizetype> TZip::verify(const std::vector<Pending> &pending)
{
    QList<qsizetype> verified;
    int code = 0;
    zip_t *archive = zip_open(ArchiveFile.constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!archive) {
        error(ArchiveFile, zipErrorString(code), zmErrorOpening);
        return verified;
    }
    for (const Pending &entry : pending) {
        const zip_int64_t index = zip_get_name(archive, zip_uint64_t(entry.index),
                                               ZIP_FL_ENC_RAW) == m_items[entry.item].entryName
                                      ? entry.index
                                      : -1;
        quint32 crc = 0;
        qint64 size = -1;
        zip_stat_t st;
        const bool read = index >= 0 && readBack(archive, index, crc, size) &&
                          zip_stat_index(archive, zip_uint64_t(index), 0, &st) == 0;
        const quint32 sourceCrc =
            entry.file ? entry.file->crc()
                       : quint32(crc32(crc32(0, nullptr, 0),
                                       reinterpret_cast<const Bytef *>(entry.linkText.constData()),
                                       uInt(entry.linkText.size())));
        const qint64 sourceSize = entry.file ? entry.file->bytesRead() : entry.linkText.size();
        const bool pass = read && crc == sourceCrc && size == sourceSize && st.crc == crc;
        if (OnEnd) OnEnd(FileSpec[entry.item], pass);
        if (pass) {
            m_items[entry.item].state = ZipItemState::Archived;
            m_items[entry.item].result = EntryResult::done(ArchiveFile);
            verified << entry.item;
        } else {
            fail(entry.item, EntryResult::refused(EIO, zipMessageText(zmCrcMismatch)),
                 zmCrcMismatch);
        }
    }
    zip_discard(archive);
    return verified;
}

void TZip::removeSources(const QList<qsizetype> &verified, const std::vector<Pending> &pending)
{
    if (verified.isEmpty()) return;
    const QSet<qsizetype> checked(verified.begin(), verified.end());
    QList<QByteArray> paths;
    QList<std::optional<FileIdentity>> identities;
    for (const Pending &entry : pending) {
        if (!checked.contains(entry.item)) continue;
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
    (void)remove.Execute();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const FileOpOutcome &outcome = remove.Outcomes()[i];
        ZipItem &item = m_items[verified[i]];
        if (outcome.state == FileOpState::Done) {
            item.state = ZipItemState::Removed;
            continue;
        }
        item.result = outcome.result;
        error(item.path, outcome.result.reason,
              outcome.state == FileOpState::Kept ? zmFileKept : zmErrorDeleting);
    }
}

} // namespace clarivex::cleaning
