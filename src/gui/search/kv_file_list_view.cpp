#include "gui/search/kv_file_list_view.h"

#include "gui/search/style_icons.h"

#include "core/base/formats.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>

namespace clarivex {

TKvFileListView::TKvFileListView(QWidget *parent)
    : QTreeView(parent), m_model(new FoundFileModel(this))
{
    installStyleIcons();
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // a million rows scroll without measuring each
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setAllColumnsShowFocus(true);
    QHeaderView *head = header();
    head->setSectionsClickable(true);
    head->setStretchLastSection(false);
    head->setSortIndicatorShown(false);
    // The built-in widths, widened where this font needs more for the caption.
    QList<int> widths;
    for (int c = 0; c < kFoundFileColumnCount; ++c) {
        const int width = FoundFileModel::DefaultColumnWidth(c);
        widths.append(width < 0 ? width : std::max(width, head->sectionSizeHint(c)));
    }
    SetColumnWidths(widths);
    connect(head, &QHeaderView::sectionClicked, m_model, &FoundFileModel::ColumnClick);
}

TKvFileListView::~TKvFileListView()
{
    try {
        SaveColumnSizes();
    } catch (const std::exception &error) {
        // A destructor cannot report; the widths are merely not kept this time.
        qWarning("column widths not saved: %s", error.what());
    }
}

void TKvFileListView::showEvent(QShowEvent *event)
{
    if (!m_loaded) {
        m_loaded = true;
        LoadColumnSizes();
    }
    QTreeView::showEvent(event);
}

bool TKvFileListView::AddFile(const QByteArray &folder, const TFindData &data, qint64 *size,
                              qint32 group)
{
    return m_model->AddFile(folder, data, size, group);
}

bool TKvFileListView::AddFile(const QByteArray &fullPath, qint64 &size, qint32 group)
{
    return m_model->AddFile(fullPath, size, group);
}

void TKvFileListView::Clear()
{
    m_model->Clear();
}

QList<int> TKvFileListView::ColumnWidths() const
{
    QList<int> widths;
    for (int c = 0; c < m_model->columnCount(); ++c)
        widths.append(header()->sectionSize(c));
    return widths;
}

void TKvFileListView::SetColumnWidths(const QList<int> &widths)
{
    QHeaderView *head = header();
    for (int c = 0; c < widths.size() && c < m_model->columnCount(); ++c) {
        const int width = widths[c];
        head->resizeSection(c, width < 0 ? head->sectionSizeHint(c) : width);
    }
}

void TKvFileListView::LoadColumnSizes()
{
    m_loaded = true;
    QList<int> widths;
    if (SaveSettings.LoadColumns(m_model->columnCount(), widths)) SetColumnWidths(widths);
}

void TKvFileListView::SaveColumnSizes() const
{
    SaveSettings.SaveColumns(m_model->columnCount(), ColumnWidths());
}

QList<int> TKvFileListView::SelectedRows() const
{
    QList<int> rows;
    if (!selectionModel()) return rows;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TKvFileListView::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete) emit deleteKeyReleased();
    QTreeView::keyReleaseEvent(event);
}

QByteArray SelectedFilePath(const TKvFileListView *list)
{
    if (!list) return {};
    const QList<int> rows = list->SelectedRows();
    if (rows.isEmpty()) return {};
    return list->Model()->FilePath(rows.first());
}

QString FoundFilesText(qint64 count)
{
    return QStringLiteral("Files: ") + formatGrouped(count);
}

QString FoundBytesText(qint64 bytes)
{
    return QStringLiteral("Bytes: ") + formatGrouped(bytes);
}

void UpdateFoundTotals(const FoundTotals &totals, QLabel *lblBytesFound, QLabel *lblFilesFound)
{
    if (lblBytesFound) lblBytesFound->setText(FoundBytesText(totals.FoundByteTotal));
    if (lblFilesFound) lblFilesFound->setText(FoundFilesText(totals.FoundFileCount));
}

} // namespace clarivex
