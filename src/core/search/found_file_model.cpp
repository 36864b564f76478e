#include "core/search/found_file_model.h"

#include "core/base/file_facts.h"
#include "core/base/formats.h"
#include "core/base/local_zone.h"
#include "core/base/path_text.h"
#include "core/platform/pe_version.h"
#include "core/search/file_type_cache.h"

#include <QDateTime>
#include <QFont>
#include <QMetaObject>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

namespace clarivex {

// Names of all rows, packed into large blocks; a name is never split.
class FoundFileModel::Arena
{
public:
    static constexpr quint64 kBlockSize = 1 << 20;

    quint64 add(QByteArrayView bytes)
    {
        if (m_blocks.empty() || m_used + quint64(bytes.size()) > kBlockSize) {
            m_blocks.push_back(std::make_unique<char[]>(kBlockSize));
            m_used = 0;
        }
        const quint64 offset = (quint64(m_blocks.size() - 1) * kBlockSize) + m_used;
        memcpy(m_blocks.back().get() + m_used, bytes.data(), size_t(bytes.size()));
        m_used += quint64(bytes.size());
        return offset;
    }
    QByteArrayView view(quint64 offset, quint32 length) const
    {
        return {m_blocks[offset / kBlockSize].get() + offset % kBlockSize, qsizetype(length)};
    }
    void clear()
    {
        m_blocks.clear();
        m_used = 0;
    }

private:
    std::vector<std::unique_ptr<char[]>> m_blocks;
    quint64 m_used = 0;
};

namespace {

constexpr qint64 kMaxNameLength = 4096;

// A million rows must stay small: what the scan saw of each file, and where
// the row came from, fit here.
static_assert(sizeof(FoundFileRow) == 72);
static_assert(int(ScanOrigin::AppRules) < (1 << kScanOriginBits));

qint64 floorDiv(qint64 value, qint64 divisor)
{
    qint64 q = value / divisor;
    if (value % divisor < 0) --q;
    return q;
}

} // namespace

FoundFileModel::FoundFileModel(QObject *parent)
    : QAbstractTableModel(parent), m_names(std::make_unique<Arena>())
{
    m_versions.emplace_back();
    m_runs.push_back({RunTrigger::User, QDateTime::currentDateTime()});
}

FoundFileModel::~FoundFileModel()
{
    closeFolder();
}

void FoundFileModel::closeFolder()
{
    if (m_folderFd >= 0) ::close(m_folderFd);
    m_folderFd = -1;
}

quint32 FoundFileModel::folderIndex(const QByteArray &folder)
{
    return m_folders.indexOf(folder);
}

quint16 FoundFileModel::deviceIndex(dev_t device)
{
    // Few devices per scan: a short search, the last one first.
    for (size_t i = m_devices.size(); i-- > 1;) {
        if (m_devices[i] == device) return quint16(i);
    }
    if (m_devices.size() > 0xFFFF) return 0; // more devices than the row can name: not recorded
    m_devices.push_back(device);
    return quint16(m_devices.size() - 1);
}

dev_t FoundFileModel::DeviceOf(int row) const
{
    if (row < 0 || row >= RowCount()) return 0;
    return m_devices[m_rows[size_t(row)].device];
}

void FoundFileModel::appendRow(const FoundFileRow &row)
{
    m_sorted = false;
    m_rows.push_back(row);
    announceLater();
}

void FoundFileModel::announceLater()
{
    if (m_flushQueued) return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(this, &FoundFileModel::FlushPending, Qt::QueuedConnection);
}

void FoundFileModel::FlushPending()
{
    m_flushQueued = false;
    const int total = int(m_rows.size());
    if (total <= m_shownRows) return;
    beginInsertRows({}, m_shownRows, total - 1);
    m_shownRows = total;
    endInsertRows();
}

namespace {

bool isListableName(const QByteArray &name)
{
    return !name.isEmpty() && name.size() <= kMaxNameLength && !name.contains('/') && name != "." &&
           name != "..";
}

} // namespace

quint32 FoundFileModel::FolderId(const QByteArray &folder)
{
    return folderIndex(folder);
}

bool FoundFileModel::AddFile(const QByteArray &folder, const TFindData &data, qint64 *size,
                             qint32 group, bool master)
{
    if (!isListableName(data.name)) return false;
    return addFileIn(folderIndex(folder), &folder, data, size, group, master);
}

bool FoundFileModel::AddFileIn(quint32 folderId, const TFindData &data, qint64 *size, qint32 group,
                               bool master)
{
    if (folderId >= m_folders.size() || !isListableName(data.name)) return false;
    return addFileIn(folderId, nullptr, data, size, group, master);
}

bool FoundFileModel::addFileIn(quint32 folderId, const QByteArray *folderPath,
                               const TFindData &data, qint64 *size, qint32 group, bool master)
{
    // The finder hands its open folder over, so a path of any length works;
    // otherwise the folder is opened by its path.
    const bool identityKnown = data.device != 0;
    const bool versioned =
        ReadVersionStrings && platform::hasPeExtension(data.name) && !data.isSymlink;
    int dirFd = data.folderFd;
    if (dirFd < 0 && (!identityKnown || versioned)) {
        if (m_folderFd < 0 || m_folderFdIndex != folderId) {
            closeFolder();
            const QByteArray folder = folderPath ? *folderPath : m_folders.path(folderId);
            m_folderFd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            m_folderFdIndex = folderId;
        }
        dirFd = m_folderFd;
    }
    // What the finder just saw of the file needs no second look.
    struct stat info
    {
    };
    if (identityKnown) {
        info.st_dev = dev_t(data.device);
        info.st_ino = ino_t(data.inode);
        info.st_mode = data.isSymlink ? S_IFLNK : S_IFREG;
    } else if (dirFd < 0 ||
               ::fstatat(dirFd, data.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return false; // gone since it was found
    }

    FoundFileRow row;
    row.size = data.size;
    row.lastWriteTime = data.lastWriteTime;
    row.creationTime = data.creationTime;
    row.lastAccessTime = data.lastAccessTime;
    row.attributes = quint8(data.attributes);
    row.symlink = S_ISLNK(info.st_mode);
    row.inode = quint64(info.st_ino);
    row.device = deviceIndex(info.st_dev);
    row.group = group;
    row.master = master;
    row.scan = quint8(m_originScan);
    row.run = m_originRun;
    row.folder = folderId;
    row.nameOffset = m_names->add(data.name);
    row.nameLength = quint32(data.name.size());
    storeType(row, FileTypeCache::shared().indexOf(data.name));
    if (versioned && dirFd >= 0) {
        const auto strings = platform::readPeVersionStrings(data.name, dirFd);
        if (!strings.fileVersion.isEmpty() || !strings.productVersion.isEmpty()) {
            row.versions = quint32(m_versions.size());
            m_versions.emplace_back(strings.fileVersion, strings.productVersion);
        }
    }
    appendRow(row);
    if (size) *size = data.size;
    return true;
}

bool FoundFileModel::AddFile(const QByteArray &fullPath, qint64 &size, qint32 group, bool master)
{
    if (fullPath == ".") {
        AddSeparator();
        size = 0;
        return true;
    }
    const qsizetype slash = fullPath.lastIndexOf('/');
    if (slash < 0 || slash + 1 == fullPath.size()) return false;
    const auto data = ReadFindData(fullPath);
    if (!data || (data->attributes & faDirectory)) return false;
    return AddFile(fullPath.left(slash + 1), *data, &size, group, master);
}

void FoundFileModel::AddSeparator()
{
    FoundFileRow row;
    row.separator = true;
    row.scan = quint8(m_originScan);
    row.run = m_originRun;
    appendRow(row);
}

RunIndex FoundFileModel::BeginRun(RunTrigger trigger, const QDateTime &began)
{
    if (m_runs.size() >= 0xFFFF) compactRuns();
    m_runs.push_back({trigger, began});
    return RunIndex(m_runs.size() - 1);
}

void FoundFileModel::compactRuns()
{
    // Only runs that rows still refer to (and the current one) are kept.
    std::vector<quint32> renumber(m_runs.size(), 0);
    std::vector<bool> used(m_runs.size(), false);
    used[0] = true;
    used[m_originRun] = true;
    for (const FoundFileRow &row : m_rows)
        used[row.run] = true;
    std::vector<ScanRun> kept;
    for (size_t i = 0; i < m_runs.size(); ++i) {
        if (!used[i]) continue;
        renumber[i] = quint32(kept.size());
        kept.push_back(m_runs[i]);
    }
    for (FoundFileRow &row : m_rows)
        row.run = RunIndex(renumber[row.run]);
    m_originRun = RunIndex(renumber[m_originRun]);
    m_runs = std::move(kept);
}

const ScanRun &FoundFileModel::Run(RunIndex run) const
{
    return m_runs[run < m_runs.size() ? run : 0];
}

void FoundFileModel::SetOrigin(ScanOrigin scan, RunIndex run)
{
    m_originScan = scan;
    m_originRun = run < m_runs.size() ? run : 0;
}

ScanOrigin FoundFileModel::ScanOf(int row) const
{
    if (row < 0 || row >= RowCount()) return ScanOrigin::TempFiles;
    return m_rows[size_t(row)].origin();
}

RunIndex FoundFileModel::RunOf(int row) const
{
    if (row < 0 || row >= RowCount()) return 0;
    return m_rows[size_t(row)].run;
}

int FoundFileModel::SetOf(int row) const
{
    if (row < 0 || row >= RowCount() || !m_rows[size_t(row)].isDuplicate()) return -1;
    return m_rows[size_t(row)].group;
}

bool FoundFileModel::IsMaster(int row) const
{
    return row >= 0 && row < RowCount() && m_rows[size_t(row)].isDuplicate() &&
           m_rows[size_t(row)].master;
}

void FoundFileModel::SetMaster(int row, bool master)
{
    if (SetOf(row) < 0 || m_rows[size_t(row)].master == master) return;
    m_rows[size_t(row)].master = master;
    emit dataChanged(index(row, 0), index(row, kFoundFileColumnCount - 1));
}

bool FoundFileModel::IsReference(int row) const
{
    return row >= 0 && row < RowCount() && m_rows[size_t(row)].isDuplicate() &&
           m_rows[size_t(row)].reference;
}

void FoundFileModel::SetReference(int row, bool reference)
{
    if (SetOf(row) < 0) return;
    m_rows[size_t(row)].reference = reference;
}

void FoundFileModel::Clear()
{
    beginResetModel();
    closeFolder();
    m_rows.clear();
    m_names->clear();
    m_folders.clear();
    m_devices.resize(1);
    m_versions.resize(1);
    m_shownRows = 0;
    m_sorted = false;
    endResetModel();
}

bool FoundFileModel::IsSeparator(int row) const
{
    return row < 0 || row >= RowCount() || m_rows[size_t(row)].separator;
}

QByteArrayView FoundFileModel::nameView(const FoundFileRow &row) const
{
    return row.separator ? QByteArrayView(" ") : m_names->view(row.nameOffset, row.nameLength);
}

QByteArrayView FoundFileModel::NameOf(int row) const
{
    if (row < 0 || row >= RowCount() || m_rows[size_t(row)].separator) return {};
    const FoundFileRow &r = m_rows[size_t(row)];
    return m_names->view(r.nameOffset, r.nameLength);
}

QByteArray FoundFileModel::FolderOf(int row) const
{
    if (row < 0 || row >= RowCount() || m_rows[size_t(row)].separator) return {};
    return m_folders.path(m_rows[size_t(row)].folder);
}

QByteArray FoundFileModel::FilePath(int row) const
{
    if (IsSeparator(row)) return {};
    return FolderOf(row) + NameOf(row).toByteArray();
}

void FoundFileModel::RemoveRows(QList<int> rows)
{
    FlushPending();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    while (!rows.isEmpty() && rows.front() < 0)
        rows.removeFirst();
    while (!rows.isEmpty() && rows.back() >= RowCount())
        rows.removeLast();
    if (rows.isEmpty()) return;
    if (rows.size() > 256) { // many scattered rows: one pass instead of many moves
        beginResetModel();
        std::vector<bool> drop(m_rows.size());
        for (int r : rows)
            drop[size_t(r)] = true;
        size_t out = 0;
        for (size_t i = 0; i < m_rows.size(); ++i) {
            if (!drop[i]) m_rows[out++] = m_rows[i];
        }
        m_rows.truncate(out);
        m_shownRows = int(out);
        endResetModel();
        return;
    }
    // Contiguous runs from the end, so earlier row numbers stay valid.
    qsizetype i = rows.size() - 1;
    while (i >= 0) {
        qsizetype first = i;
        while (first > 0 && rows[first - 1] == rows[first] - 1)
            --first;
        beginRemoveRows({}, rows[first], rows[i]);
        m_rows.erase(size_t(rows[first]), size_t(rows[i]) + 1);
        m_shownRows = int(m_rows.size());
        endRemoveRows();
        i = first - 1;
    }
}

void FoundFileModel::SetRowNote(RowNote note)
{
    m_rowNote = std::move(note);
}

void FoundFileModel::SetRowColour(RowColour colour)
{
    m_rowColour = std::move(colour);
}

namespace {

// The letters of the attributes shown, in their order; their count.
qsizetype attributeLetters(quint32 attributes, char letters[4])
{
    qsizetype count = 0;
    if (attributes & faReadOnly) letters[count++] = 'R';
    if (attributes & faHidden) letters[count++] = 'H';
    if (attributes & faSysFile) letters[count++] = 'S';
    if (attributes & faArchive) letters[count++] = 'A';
    return count;
}

} // namespace

QString FoundFileModel::AttributesText(quint32 attributes)
{
    char letters[4];
    return QString::fromLatin1(letters, attributeLetters(attributes, letters));
}

void FoundFileModel::AppendAttributesText(QByteArray &out, quint32 attributes)
{
    char letters[4];
    out.append(letters, attributeLetters(attributes, letters));
}

namespace {

// "dd-MM-yyyy hh:mm:ss" (only the date at midnight) of a time in the
// C library's local time, as formatDateTime writes it, a row at a time; its
// length. 0: there is no local time for it; -1: its year has not four digits
// (`parts` holds it). Directory entries keep times at two-second
// resolution. The zone file is not looked at for every cell, and a change of
// TZ is still seen.
qsizetype localDateTimeText(qint64 nanoseconds, char text[20], qint64 &seconds, struct tm &parts)
{
    seconds = floorDiv(nanoseconds, 1000000000);
    seconds -= seconds - floorDiv(seconds, 2) * 2;
    (void)localZoneGeneration();
    const time_t when = time_t(seconds);
    if (qint64(when) != seconds || !::localtime_r(&when, &parts)) return 0;
    const int year = parts.tm_year + 1900;
    if (year < 1 || year > 9999) return -1;
    const int second = std::min(parts.tm_sec, 59);
    const auto two = [text](int at, int value) {
        text[at] = char('0' + value / 10);
        text[at + 1] = char('0' + value % 10);
    };
    two(0, parts.tm_mday);
    text[2] = '-';
    two(3, parts.tm_mon + 1);
    text[5] = '-';
    two(6, year / 100);
    two(8, year % 100);
    if (parts.tm_hour == 0 && parts.tm_min == 0 && second == 0) return 10;
    text[10] = ' ';
    two(11, parts.tm_hour);
    text[13] = ':';
    two(14, parts.tm_min);
    text[16] = ':';
    two(17, second);
    return 19;
}

} // namespace

QString FoundFileModel::DateTimeText(qint64 nanoseconds)
{
    char text[20];
    qint64 seconds = 0;
    struct tm parts
    {
    };
    const qsizetype length = localDateTimeText(nanoseconds, text, seconds, parts);
    if (length > 0) return QString::fromLatin1(text, length);
    if (length == 0) {
        const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds).toLocalTime();
        if (local.time() == QTime(0, 0)) return formatShortDate(local.date());
        return formatDateTime(local);
    }
    const QDate date(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
    const int second = std::min(parts.tm_sec, 59);
    if (parts.tm_hour == 0 && parts.tm_min == 0 && second == 0) return formatShortDate(date);
    return formatShortDate(date) + QLatin1Char(' ') +
           formatLongTime(QTime(parts.tm_hour, parts.tm_min, second));
}

void FoundFileModel::AppendDateTimeText(QByteArray &out, qint64 nanoseconds)
{
    char text[20];
    qint64 seconds = 0;
    struct tm parts
    {
    };
    if (const qsizetype length = localDateTimeText(nanoseconds, text, seconds, parts); length > 0)
        out.append(text, length);
    else
        out += DateTimeText(nanoseconds).toUtf8();
}

void FoundFileModel::storeType(FoundFileRow &row, quint32 type) const
{
    row.fileType = type < FoundFileRow::kTypeByName ? quint16(type) : FoundFileRow::kTypeByName;
}

quint32 FoundFileModel::typeOf(int row) const
{
    const FoundFileRow &r = m_rows[size_t(row)];
    FileTypeCache &types = FileTypeCache::shared();
    if (r.separator) return r.fileType;
    const quint32 named =
        r.fileType == FoundFileRow::kTypeByName ? types.indexOf(NameOf(row)) : r.fileType;
    if (!types.needsContent(named)) return named;
    // Kept in the row: a row is read at most once, whatever view asks (unless
    // the cache has grown past what the row can name).
    const quint32 type = types.indexOfContent(FilePath(row), named);
    storeType(const_cast<FoundFileRow &>(r), type);
    return type;
}

QString FoundFileModel::CellText(int row, int column) const
{
    if (row < 0 || row >= RowCount()) return {};
    const FoundFileRow &r = m_rows[size_t(row)];
    if (r.separator) return column <= colAttributes ? QStringLiteral(" ") : QString();
    switch (column) {
    case colName:
        return displayText(NameOf(row)); // as on disk: the file system tells case apart
    case colFolder:
        return displayText(m_folders.path(r.folder));
    case colSize:
        return formatGrouped(r.size);
    case colType:
        return FileTypeCache::shared().typeName(typeOf(row));
    case colModified:
        return DateTimeText(r.lastWriteTime);
    case colAttributes:
        return AttributesText(r.attributes);
    case colFileVersion:
        return m_versions[r.versions].first;
    case colProductVersion:
        return m_versions[r.versions].second;
    case colCreation:
        return DateTimeText(r.creationTime);
    case colLastWrite:
        return DateTimeText(r.lastWriteTime);
    case colLastAccess:
        return DateTimeText(r.lastAccessTime);
    default:
        return {};
    }
}

int FoundFileModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shownRows;
}

int FoundFileModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kFoundFileColumnCount;
}

QVariant FoundFileModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_shownRows) return {};
    const FoundFileRow &r = m_rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return CellText(index.row(), index.column());
    case Qt::DecorationRole:
        if (index.column() == colName && !r.separator)
            return FileTypeCache::shared().icon(typeOf(index.row()));
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(ColumnAlignment(index.column()));
    case Qt::ForegroundRole:
        if (m_rowColour) {
            if (const auto colour = m_rowColour(r)) return *colour;
        }
        return {};
    case Qt::FontRole:
        // A duplicate set's master stands out from its copies.
        if (r.master && r.isDuplicate()) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::ToolTipRole:
        if (r.isDuplicate())
            return r.master
                       ? (r.reference ? QStringLiteral("First copy (master) of duplicate set %1, "
                                                       "in a reference folder")
                                      : QStringLiteral("First copy (master) of duplicate set %1"))
                             .arg(r.group)
                       : QStringLiteral("Copy in duplicate set %1").arg(r.group);
        if (m_rowNote) {
            if (QString note = m_rowNote(r); !note.isEmpty()) return note;
        }
        return {};
    case Qt::UserRole:
        return FilePath(index.row());
    default:
        return {};
    }
}

QVariant FoundFileModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) return ColumnCaption(section);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(ColumnAlignment(section));
    return {};
}

QString FoundFileModel::ColumnCaption(int column)
{
    static const char *const captions[kFoundFileColumnCount] = {
        "Name",     "Folder",   "Size",     "Type",       "Modified",   "Attributes",
        "File Ver", "Prod Ver", "Creation", "Last Write", "Last Access"};
    return column >= 0 && column < kFoundFileColumnCount ? QString::fromLatin1(captions[column])
                                                         : QString();
}

int FoundFileModel::DefaultColumnWidth(int column)
{
    static const int widths[kFoundFileColumnCount] = {100, 140, 70, 70, 112, 50,
                                                      -2,  -2,  -2, -2, -2};
    return column >= 0 && column < kFoundFileColumnCount ? widths[column] : -2;
}

Qt::Alignment FoundFileModel::ColumnAlignment(int column)
{
    switch (column) {
    case colSize:
    case colAttributes:
    case colFileVersion:
    case colProductVersion:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

} // namespace clarivex
