#include "core/cleaning/clean_undo_places.h"

#include "core/cleaning/entry_names.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

namespace clarivex::cleaning {

namespace {

constexpr int kMovedNamesTried = 200;

bool sameObject(const FileIdentity &recorded, const FileIdentity &now)
{
    if (recorded.kind != now.kind) return false;
    if (recorded.hasInode()) return recorded.device == now.device && recorded.inode == now.inode;
    return recorded.size == now.size && recorded.modified == now.modified;
}

// A file copied to another volume is a new inode with the same size and time.
bool sameContentsByLook(const FileIdentity &recorded, const FileIdentity &now)
{
    return recorded.kind == now.kind && recorded.size == now.size &&
           recorded.modified == now.modified;
}

QByteArray readSmallFile(int folderFd, const char *name)
{
    const int fd = ::openat(folderFd, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return {};
    QByteArray text(8192, Qt::Uninitialized);
    const ssize_t got = ::read(fd, text.data(), size_t(text.size()));
    ::close(fd);
    text.truncate(got > 0 ? qsizetype(got) : 0);
    return text;
}

QByteArray trashInfoPath(const QByteArray &info)
{
    for (const QByteArray &line : info.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith("Path=")) return QByteArray::fromPercentEncoding(trimmed.mid(5));
    }
    return {};
}

} // namespace

QByteArray archiveEntryFor(const QByteArray &path)
{
    qsizetype start = 0;
    while (start < path.size() && path[start] == '/')
        ++start;
    return path.mid(start);
}

UndoPlaces::UndoPlaces(const HistoryClean &clean, const std::optional<TrashPlaces> &trash)
    : m_clean(clean), m_trash(trash ? *trash : TrashPlaces::forCurrentUser())
{
}

FileWhereabouts UndoPlaces::locate(const HistoryFile &file)
{
    FileWhereabouts found{UndoFate::Gone, file, {}};
    switch (file.state) {
    case RecordState::Undone:
        found.fate = UndoFate::AlreadyUndone;
        return found;
    case RecordState::Left:
        found.fate = UndoFate::InPlace;
        found.reason = file.reason;
        return found;
    case RecordState::Begun:
        return locateBegun(file);
    case RecordState::Done:
        break;
    }
    switch (file.where) {
    case Whereabouts::Deleted:
        found.fate = UndoFate::DeletedForGood;
        return found;
    case Whereabouts::Trash:
    case Whereabouts::Moved: {
        const std::optional<FileIdentity> now = readIdentity(file.place);
        const FileIdentity expected = file.placeIdentity.value_or(file.identity);
        if (now && sameObject(expected, *now)) {
            found.fate = UndoFate::Restored;
        } else {
            found.reason = file.where == Whereabouts::Trash
                               ? QStringLiteral("no longer in the Trash")
                               : QStringLiteral("no longer in the backup folder");
        }
        return found;
    }
    case Whereabouts::Archived:
        if (archiveHolds(file.place, file.detail))
            found.fate = UndoFate::Restored;
        else
            found.reason = QStringLiteral("no longer in the archive");
        return found;
    case Whereabouts::Linked: {
        const std::optional<FileIdentity> now = readIdentity(file.path);
        if (now && file.placeIdentity && now->device == file.placeIdentity->device &&
            now->inode == file.placeIdentity->inode)
            found.fate = UndoFate::Restored;
        else
            found.reason = QStringLiteral("no longer a link of the copy kept");
        return found;
    }
    case Whereabouts::None:
        break;
    }
    found.reason = QStringLiteral("not recorded where it went");
    return found;
}

// The clean was cut short between the record and its outcome: look.
FileWhereabouts UndoPlaces::locateBegun(const HistoryFile &file)
{
    FileWhereabouts found{UndoFate::Gone, file, {}};
    const std::optional<FileIdentity> now = readIdentity(file.path);
    if (now && sameObject(file.identity, *now)) {
        found.fate = UndoFate::InPlace;
        found.reason = QStringLiteral("never left its place (the clean was cut short)");
        return found;
    }
    found.file.state = RecordState::Done;
    switch (m_clean.mode) {
    case HistoryMode::Trash:
        if (const std::optional<QByteArray> trashed = findInTrash(file)) {
            found.fate = UndoFate::Restored;
            found.file.where = Whereabouts::Trash;
            found.file.place = *trashed;
            const PathParts parts = splitPath(*trashed);
            found.file.detail =
                joinPath(splitPath(parts.folder).folder, "info") + '/' + parts.name + ".trashinfo";
            found.file.placeIdentity = file.identity;
            return found;
        }
        break;
    case HistoryMode::Move:
        if (const std::optional<QByteArray> moved = findMoved(file)) {
            found.fate = UndoFate::Restored;
            found.file.where = Whereabouts::Moved;
            found.file.place = *moved;
            found.file.placeIdentity = readIdentity(*moved);
            return found;
        }
        break;
    case HistoryMode::Zip: {
        const QByteArray entry = archiveEntryFor(file.path);
        if (archiveHolds(m_clean.destination, entry)) {
            found.fate = UndoFate::Restored;
            found.file.where = Whereabouts::Archived;
            found.file.place = m_clean.destination;
            found.file.detail = entry;
            return found;
        }
        break;
    }
    case HistoryMode::Delete:
    case HistoryMode::Link:
        break;
    }
    found.file.state = RecordState::Begun;
    found.reason = QStringLiteral("not at its place, and not found where the clean was putting "
                                  "it (the clean was cut short)");
    return found;
}

void UndoPlaces::indexTrash(const QByteArray &trashFolder)
{
    if (m_indexedTrashes.contains(trashFolder)) return;
    m_indexedTrashes.insert(trashFolder);
    const QByteArray infoFolder = trashFolder + "/info";
    const int fd = ::open(infoFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    // "Path" is absolute in the home Trash and relative to the volume's top
    // in a volume's Trash ("$topdir/.Trash/$uid" or "$topdir/.Trash-$uid").
    QByteArray top = splitPath(trashFolder).folder;
    if (top.endsWith("/.Trash")) top = splitPath(top).folder;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!name.endsWith(".trashinfo")) continue;
        QByteArray original = trashInfoPath(readSmallFile(::dirfd(dir), entry->d_name));
        if (original.isEmpty()) continue;
        if (!original.startsWith('/')) original = joinPath(top, original);
        m_trashed[original] << trashFolder + "/files/" + name.chopped(10);
    }
    ::closedir(dir);
}

std::optional<QByteArray> UndoPlaces::findInTrash(const HistoryFile &file)
{
    indexTrash(m_trash.homeTrash);
    const QByteArray top = m_trash.topDirectory ? m_trash.topDirectory(splitPath(file.path).folder)
                                                : mountTopOf(splitPath(file.path).folder);
    const QByteArray uid = QByteArray::number(quint64(m_trash.user));
    indexTrash(joinPath(top, ".Trash") + '/' + uid);
    indexTrash(joinPath(top, ".Trash-" + uid));
    for (const QByteArray &candidate : m_trashed.value(file.path)) {
        const std::optional<FileIdentity> now = readIdentity(candidate);
        if (now && sameObject(file.identity, *now)) return candidate;
    }
    return std::nullopt;
}

std::optional<QByteArray> UndoPlaces::findMoved(const HistoryFile &file) const
{
    const QByteArray name = splitPath(file.path).name;
    for (int n = 1; n <= kMovedNamesTried; ++n) {
        const QByteArray candidate = joinPath(m_clean.destination, collisionName(name, n));
        const std::optional<FileIdentity> now = readIdentity(candidate);
        if (!now) continue;
        if (now->device == file.identity.device ? sameObject(file.identity, *now)
                                                : sameContentsByLook(file.identity, *now))
            return candidate;
    }
    return std::nullopt;
}

bool UndoPlaces::archiveHolds(const QByteArray &archive, const QByteArray &entry)
{
    auto it = m_entries.find(archive);
    if (it == m_entries.end()) {
        QSet<QByteArray> names;
        int code = 0;
        if (zip_t *zip = zip_open(archive.constData(), ZIP_RDONLY, &code)) {
            const zip_int64_t count = zip_get_num_entries(zip, 0);
            for (zip_int64_t i = 0; i < count; ++i)
                names.insert(zip_get_name(zip, zip_uint64_t(i), ZIP_FL_ENC_RAW));
            zip_discard(zip);
        }
        it = m_entries.insert(archive, names);
    }
    return it->contains(entry);
}

} // namespace clarivex::cleaning
