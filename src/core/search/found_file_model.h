#pragma once

// The found-file list's rows: one compact record per found file (72 bytes
// besides its name), with the texts of the eleven columns made only when
// a row is drawn. The folder of a row is shared by all rows of that folder and
// names live in one arena, so a million rows stay small. Paths are bytes.
//
// Every row knows its origin (row_origin.h): the scan that found it, the run
// it belongs to (an index into the model's run table) and, for a duplicate,
// its set (`group`) and whether it is the set's master.

#include "core/base/find_data.h"
#include "core/search/folder_table.h"
#include "core/search/row_origin.h"
#include "core/search/row_store.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>

#include <sys/types.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace clarivex {

enum FoundFileColumn {
    colName,
    colFolder,
    colSize,
    colType,
    colModified,
    colAttributes,
    colFileVersion,
    colProductVersion,
    colCreation,
    colLastWrite,
    colLastAccess,
    kFoundFileColumnCount
};

struct FoundFileRow
{
    qint64 size = 0;
    qint64 lastWriteTime = 0; // ns since 1970 UTC
    qint64 creationTime = 0;
    qint64 lastAccessTime = 0;
    quint64 nameOffset = 0; // into the name arena
    quint64 inode = 0;      // as the scan saw it, with `device`: a clean checks it is still so
    quint32 folder = 0;     // into the folder table
    quint32 nameLength = 0;
    quint16 fileType = 0; // FileTypeCache entry; kTypeByName: looked up by the name
    RunIndex run = 0;     // into the model's run table
    quint32 versions = 0; // 0: none, else into the version table
    qint32 group = -1;    // the scan's tag: a file group, or a duplicate's set; -1 for none
    quint16 device = 0;   // into the device table; 0: not recorded
    quint8 attributes = 0;
    bool separator : 1 = false;
    bool symlink : 1 = false;          // the entry is a symbolic link, listed as itself
    bool master : 1 = false;           // the first copy of a duplicate set
    bool reference : 1 = false;        // a duplicate in a reference folder: never cleaned
    quint8 scan : kScanOriginBits = 0; // a ScanOrigin

    static constexpr quint16 kTypeByName = 0xFFFF; // more types than the row can name

    [[nodiscard]] ScanOrigin origin() const { return ScanOrigin(scan); }
    // A file of a duplicate set (master or copy).
    [[nodiscard]] bool isDuplicate() const
    {
        return !separator && origin() == ScanOrigin::Duplicates && group >= 0;
    }
};

class FoundFileModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit FoundFileModel(QObject *parent = nullptr);
    ~FoundFileModel() override;

    // One row for the file `name` of `folder` (raw bytes, trailing "/"). False,
    // and no row, when the file no longer exists. `size` receives its size.
    // The row carries the current origin (SetOrigin). `master`: the row is
    // the first copy of the duplicate set `group`.
    [[nodiscard]] bool AddFile(const QByteArray &folder, const TFindData &data,
                               qint64 *size = nullptr, qint32 group = -1, bool master = false);
    // The index of a folder for AddFileIn (added when new), and AddFile for a
    // folder known by that index: a caller that lists many files of the same
    // folders looks each folder up once.
    [[nodiscard]] quint32 FolderId(const QByteArray &folder);
    [[nodiscard]] bool AddFileIn(quint32 folderId, const TFindData &data, qint64 *size = nullptr,
                                 qint32 group = -1, bool master = false);
    // The same for a full path; the facts are read from the file itself. The
    // path "." adds a separator row and gives the size 0.
    [[nodiscard]] bool AddFile(const QByteArray &fullPath, qint64 &size, qint32 group = -1,
                               bool master = false);
    void AddSeparator();
    // Whether AddFile reads the version strings of a program or library
    // (the File and Product Version columns); off where no one shows them.
    bool ReadVersionStrings = true;
    // Removes every row. The run table and the current origin stay: a run
    // goes on across the clearing of the list by one of its steps.
    void Clear();

    // Runs: a scan the user started, a scheduled run (all its steps), a
    // command-line scan. The table is the model's; an index stays valid while
    // a row refers to it, and the index BeginRun gave until the next BeginRun.
    [[nodiscard]] RunIndex BeginRun(RunTrigger trigger,
                                    const QDateTime &began = QDateTime::currentDateTime());
    [[nodiscard]] const ScanRun &Run(RunIndex run) const;
    [[nodiscard]] int RunCount() const { return int(m_runs.size()); }
    // Rows added from now on come from `scan` in `run`.
    void SetOrigin(ScanOrigin scan, RunIndex run);
    [[nodiscard]] ScanOrigin CurrentScan() const { return m_originScan; }
    [[nodiscard]] RunIndex CurrentRun() const { return m_originRun; }
    // The origin of a row; for a separator, that of the set it opens.
    [[nodiscard]] ScanOrigin ScanOf(int row) const;
    [[nodiscard]] RunIndex RunOf(int row) const;
    [[nodiscard]] const ScanRun &RunOfRow(int row) const { return Run(RunOf(row)); }
    // A duplicate's set number (from 1), -1 for a row of another scan.
    [[nodiscard]] int SetOf(int row) const;
    [[nodiscard]] bool IsMaster(int row) const;
    // Makes a duplicate's row its set's master (the copy a clean keeps), or
    // a copy; the caller keeps one master per set.
    void SetMaster(int row, bool master);
    // A duplicate in a reference folder: a clean never takes it.
    [[nodiscard]] bool IsReference(int row) const;
    void SetReference(int row, bool reference);

    [[nodiscard]] int RowCount() const { return int(m_rows.size()); }
    [[nodiscard]] const FoundFileRow &Row(int row) const { return m_rows[size_t(row)]; }
    [[nodiscard]] bool IsSeparator(int row) const;
    // Folder + name, exactly as found; empty for a separator or a bad row.
    [[nodiscard]] QByteArray FilePath(int row) const;
    [[nodiscard]] QByteArray FolderOf(int row) const;
    [[nodiscard]] QByteArrayView NameOf(int row) const;
    // The device of the row's file when it was found; 0 when not recorded.
    [[nodiscard]] dev_t DeviceOf(int row) const;
    // Removes the rows (any order, duplicates allowed).
    void RemoveRows(QList<int> rows);

    // The cell's text as the list shows it.
    [[nodiscard]] QString CellText(int row, int column) const;

    // Header click: the same column reverses the order, another one sorts ascending.
    void ColumnClick(int column);
    void SortRows(int column, bool ascending);
    [[nodiscard]] int SortColumn() const { return m_sortColumn; }
    // The rows are in the order of SortColumn: sorted and nothing added or
    // cleared since.
    [[nodiscard]] bool IsSorted() const { return m_sorted; }
    [[nodiscard]] bool SortAscending() const { return m_sortAscending; }

    // The colour a row is drawn in (none: the view's default).
    using RowColour = std::function<std::optional<QColor>(const FoundFileRow &)>;
    void SetRowColour(RowColour colour);
    [[nodiscard]] const RowColour &RowColourFunction() const { return m_rowColour; }
    // A row's tooltip besides the duplicate sets' own (empty: none).
    using RowNote = std::function<QString(const FoundFileRow &)>;
    void SetRowNote(RowNote note);

    // Rows added since the last announcement are shown now (otherwise at the
    // next turn of the event loop). Bulk adding stays cheap for attached views.
    void FlushPending();

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    [[nodiscard]] static QString ColumnCaption(int column);
    [[nodiscard]] static int DefaultColumnWidth(int column); // -2: fit to the header
    [[nodiscard]] static Qt::Alignment ColumnAlignment(int column);
    [[nodiscard]] static QString AttributesText(quint32 attributes);
    // Local time at two-second resolution; the time is left out at midnight.
    [[nodiscard]] static QString DateTimeText(qint64 nanoseconds);
    // The same two texts added to `out` in UTF-8, for printing many rows
    // without a text object per cell.
    static void AppendAttributesText(QByteArray &out, quint32 attributes);
    static void AppendDateTimeText(QByteArray &out, qint64 nanoseconds);
    // Every folder's path (FolderOf a row is FolderPaths()[Row(row).folder]),
    // made at once: the same folders come back in many rows.
    [[nodiscard]] std::vector<QByteArray> FolderPaths() const { return m_folders.allPaths(); }

private:
    class Arena;
    struct SortKey
    {
        quint64 key;
        quint32 row;
    };
    void sortNameRuns(std::vector<SortKey> &keys, bool ascending) const;

    // The row's type entry for drawing it; a file whose extension names no
    // type is read for it once, when first asked. Sorting never asks: it takes
    // the entry the row holds.
    quint32 typeOf(int row) const;
    // The type entry the row holds, read from nothing.
    quint32 knownTypeOf(int row) const;
    void storeType(FoundFileRow &row, quint32 type) const;
    void compactRuns();
    bool addFileIn(quint32 folderId, const QByteArray *folderPath, const TFindData &data,
                   qint64 *size, qint32 group, bool master);
    quint32 folderIndex(const QByteArray &folder);
    void closeFolder();
    // The row's name; " " for a separator, the caption it shows.
    QByteArrayView nameView(const FoundFileRow &row) const;
    void announceLater();
    void appendRow(const FoundFileRow &row);

    RowStore<FoundFileRow> m_rows;
    std::unique_ptr<Arena> m_names;
    quint16 deviceIndex(dev_t device);

    FolderTable m_folders;
    std::vector<dev_t> m_devices{0};                     // [0] is "not recorded"
    std::vector<std::pair<QString, QString>> m_versions; // [0] is "none"
    int m_shownRows = 0;
    bool m_flushQueued = false;
    int m_sortColumn = colFolder;
    bool m_sortAscending = true;
    bool m_sorted = false;
    RowColour m_rowColour;
    RowNote m_rowNote;
    std::vector<ScanRun> m_runs; // [0]: rows added before any run began
    ScanOrigin m_originScan = ScanOrigin::TempFiles;
    RunIndex m_originRun = 0;
    // The folder of the last added row, opened for quick lookups of its names.
    int m_folderFd = -1;
    quint32 m_folderFdIndex = 0;
};

} // namespace clarivex
