#include "gui/search/kv_file_list_view.h"

#include "gui/search/style_icons.h"

#include "core/base/formats.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScopedValueRollback>
#include <QStyle>

namespace clarivex {

TKvFileListView::TKvFileListView(QWidget *parent)
    : QTableView(parent), m_model(new FoundFileModel(this))
{
    installStyleIcons();
    setModel(m_model);
    // Every row as high as one line: a million rows scroll without measuring each.
    QHeaderView *rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(std::max(fontMetrics().height(), 16) + 4);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    QHeaderView *head = header();
    head->setHighlightSections(false);
    head->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    head->setSectionsClickable(true);
    head->setStretchLastSection(false);
    head->setSectionResizeMode(QHeaderView::Interactive);
    head->setSortIndicatorShown(true);
    head->setSortIndicator(-1, Qt::AscendingOrder); // rows in the order found
    m_widths.fill(0, kFoundFileColumnCount);
    m_extra.fill(0, kFoundFileColumnCount);
    // The built-in widths, widened where this font needs more for the caption
    // or for a date.
    QList<int> widths;
    for (int c = 0; c < kFoundFileColumnCount; ++c) {
        const int width = FoundFileModel::DefaultColumnWidth(c);
        widths.append(width < 0 ? width : std::max(width, FittedWidth(c)));
    }
    SetColumnWidths(widths);
    connect(head, &QHeaderView::sectionClicked, m_model, &FoundFileModel::ColumnClick);
    connect(head, &QHeaderView::sectionResized, this,
            [this](int column, int, int newSize) { sectionResized(column, newSize); });
    connect(m_model, &QAbstractItemModel::modelReset, this, &TKvFileListView::showSortIndicator);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &TKvFileListView::showSortIndicator);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &TKvFileListView::showSortIndicator);
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
    QTableView::showEvent(event);
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

int TKvFileListView::FittedWidth(int column) const
{
    const auto textWidth = [this](const QString &sample) {
        const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 4;
        return fontMetrics().horizontalAdvance(sample) + 2 * margin;
    };
    int width = header()->sectionSizeHint(column);
    switch (column) {
    case colModified:
    case colCreation:
    case colLastWrite:
    case colLastAccess: // a date with a time, as wide as this font draws one
        width = std::max(width, textWidth(QStringLiteral("00-00-0000 00:00:00")));
        break;
    case colType: // the common description of found files
        width = std::max(width, textWidth(QStringLiteral("plain text document")));
        break;
    default:
        break;
    }
    return width;
}

void TKvFileListView::SetColumnWidths(const QList<int> &widths)
{
    for (int c = 0; c < widths.size() && c < m_model->columnCount(); ++c) {
        const int width = widths[c];
        m_widths[c] = width < 0 ? FittedWidth(c) : width;
    }
    layoutColumns();
}

void TKvFileListView::layoutColumns()
{
    if (m_layingOut) { // the viewport changed while the columns were set
        m_relayout = true;
        return;
    }
    const QScopedValueRollback guard(m_layingOut, true);
    for (int pass = 0; pass < 3; ++pass) {
        m_relayout = false;
        int chosen = 0;
        for (int c = 0; c < kFoundFileColumnCount; ++c)
            chosen += m_widths[c];
        // Name and Folder share what the chosen widths leave; Folder, whose
        // texts are longer, takes the larger part.
        const int spare = std::max(0, viewport()->width() - chosen);
        m_extra.fill(0);
        m_extra[colName] = spare * 2 / 5;
        m_extra[colFolder] = spare - m_extra[colName];
        for (int c = 0; c < kFoundFileColumnCount; ++c)
            header()->resizeSection(c, m_widths[c] + m_extra[c]);
        if (!m_relayout) break;
    }
}

void TKvFileListView::sectionResized(int column, int newSize)
{
    if (m_layingOut || column < 0 || column >= kFoundFileColumnCount) return;
    // The user drags an edge: the column follows the mouse, and the width it
    // has beyond its share of the spare width becomes its chosen width.
    m_widths[column] = std::max(0, newSize - m_extra[column]);
}

bool TKvFileListView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Resize) layoutColumns();
    return QTableView::viewportEvent(event);
}

void TKvFileListView::showSortIndicator()
{
    if (m_model->IsSorted())
        header()->setSortIndicator(m_model->SortColumn(), m_model->SortAscending()
                                                              ? Qt::AscendingOrder
                                                              : Qt::DescendingOrder);
    else
        header()->setSortIndicator(-1, Qt::AscendingOrder);
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
    QTableView::keyReleaseEvent(event);
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
