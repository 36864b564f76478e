#pragma once

// The found-file list: a report view over FoundFileModel. It sorts on header
// clicks and marks the sorted column, restores and saves its column widths
// through TFLSaveSettings, gives width beyond them to Name and Folder, and
// offers the main window's list operations (selected path, totals).

#include "core/search/column_sizes.h"
#include "core/search/found_file_model.h"

#include <QTableView>

class QLabel;

namespace clarivex {

// A table rather than a tree: a tree view keeps a record of every row and
// lays all of them out again whenever rows arrive, which froze the window for
// hundreds of milliseconds at a time with millions of rows.
class TKvFileListView : public QTableView
{
    Q_OBJECT
public:
    explicit TKvFileListView(QWidget *parent = nullptr);
    ~TKvFileListView() override;

    [[nodiscard]] QHeaderView *header() const { return horizontalHeader(); }

    [[nodiscard]] FoundFileModel *Model() const { return m_model; }
    TFLSaveSettings SaveSettings;

    // See FoundFileModel::AddFile.
    [[nodiscard]] bool AddFile(const QByteArray &folder, const TFindData &data,
                               qint64 *size = nullptr, qint32 group = -1);
    [[nodiscard]] bool AddFile(const QByteArray &fullPath, qint64 &size, qint32 group = -1);
    void Clear();

    // The widths the user chose (or the stored ones): what is saved. Width
    // the list has beyond their sum goes to Name and Folder on the screen.
    [[nodiscard]] QList<int> ColumnWidths() const { return m_widths; }
    // A negative width fits the column to its header (and, for a date, to
    // the date it shows).
    void SetColumnWidths(const QList<int> &widths);
    // The width a column fits in: its caption, or its longest usual text.
    [[nodiscard]] int FittedWidth(int column) const;
    void LoadColumnSizes();       // when the window's layout is loaded
    void SaveColumnSizes() const; // when the window goes
    // The selected rows in list order.
    [[nodiscard]] QList<int> SelectedRows() const;

signals:
    void deleteKeyReleased();

protected:
    void keyReleaseEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    // Shows the chosen widths, the spare width shared by Name and Folder.
    void layoutColumns();
    void sectionResized(int column, int newSize);
    void showSortIndicator();

    FoundFileModel *m_model = nullptr;
    bool m_loaded = false;
    bool m_layingOut = false;
    bool m_relayout = false;
    QList<int> m_widths; // chosen, per column
    QList<int> m_extra;  // spare width given on the screen, per column
};

// Folder + name of the list's selected row (the first of several); empty when
// nothing is selected or the row is a separator.
[[nodiscard]] QByteArray SelectedFilePath(const TKvFileListView *list);

// The found-file totals of the main window. Bytes are counted in 64 bits:
// a handful of large files already pass the 2 GiB of a 32-bit counter.
struct FoundTotals
{
    qint64 FoundFileCount = 0;
    qint64 FoundByteTotal = 0;
};
[[nodiscard]] QString FoundFilesText(qint64 count); // "Files: %.0n"
[[nodiscard]] QString FoundBytesText(qint64 bytes); // "Bytes: %.0n"
void UpdateFoundTotals(const FoundTotals &totals, QLabel *lblBytesFound, QLabel *lblFilesFound);

} // namespace clarivex
