#include "gui/search/path_tree_view.h"

#include "gui/search/style_icons.h"

#include "core/search/file_type_cache.h"
#include "core/search/found_file_model.h"
#include "core/search/treemap_svg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLocale>
#include <QTimer>

namespace clarivex {

namespace {

QIcon folderNodeIcon()
{
    static const QIcon icon = [] {
        QIcon combined;
        const QIcon closed = FileTypeCache::folderIcon(false);
        const QIcon open = FileTypeCache::folderIcon(true);
        for (int size : {16, 22, 32}) {
            if (!closed.isNull()) combined.addPixmap(closed.pixmap(size), QIcon::Normal);
            if (!open.isNull()) combined.addPixmap(open.pixmap(size), QIcon::Selected);
        }
        return combined;
    }();
    return icon;
}

} // namespace

PathTreeModel::PathTreeModel(QObject *parent)
    : QAbstractItemModel(parent), m_tree(std::make_unique<PathTree>())
{
}

void PathTreeModel::SetTree(std::unique_ptr<PathTree> tree)
{
    beginResetModel();
    m_tree = std::move(tree);
    m_shown = true;
    endResetModel();
}

void PathTreeModel::Clear()
{
    beginResetModel();
    m_tree = std::make_unique<PathTree>();
    m_shown = false;
    endResetModel();
}

quint32 PathTreeModel::AddPath(const QByteArray &path)
{
    beginResetModel(); // a path can add a node on every level
    m_shown = true;
    const quint32 node = m_tree->AddPath(path);
    endResetModel();
    return node;
}

void PathTreeModel::CountFound(const FoundFileModel &rows)
{
    m_tree->ClearFound();
    // The rows by folder, so that each folder is looked up once.
    std::vector<quint32> perFolder;
    for (int r = 0; r < rows.RowCount(); ++r) {
        const FoundFileRow &row = rows.Row(r);
        if (row.separator) continue;
        if (size_t(row.folder) + 1 >= perFolder.size()) perFolder.resize(size_t(row.folder) + 2, 0);
        ++perFolder[row.folder + 1];
    }
    for (size_t f = 1; f < perFolder.size(); ++f)
        perFolder[f] += perFolder[f - 1];
    std::vector<quint32> order(perFolder.empty() ? 0 : perFolder.back());
    std::vector<quint32> next(perFolder);
    for (int r = 0; r < rows.RowCount(); ++r) {
        const FoundFileRow &row = rows.Row(r);
        if (!row.separator) order[next[row.folder]++] = quint32(r);
    }
    std::vector<QByteArray> names;
    std::vector<qint64> sizes;
    for (size_t f = 0; f + 1 < perFolder.size(); ++f) {
        if (perFolder[f] == perFolder[f + 1]) continue;
        names.clear();
        sizes.clear();
        for (quint32 i = perFolder[f]; i < perFolder[f + 1]; ++i) {
            names.push_back(rows.NameOf(int(order[i])).toByteArray());
            sizes.push_back(rows.Row(int(order[i])).size);
        }
        m_tree->AddFoundIn(rows.FolderOf(int(order[perFolder[f]])), names, sizes);
    }
    if (rowCount() > 0)
        emit dataChanged(index(0, 1), index(0, 2)); // the views repaint what they show
}

void PathTreeModel::SortBySize(bool bySize)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    if (bySize)
        m_tree->SortBySize();
    else
        m_tree->SortAll();
    // Nodes keep their ids; only their rows changed.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after << IndexOf(NodeOf(index), index.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QModelIndex PathTreeModel::IndexOf(quint32 node, int column) const
{
    if (node >= quint32(m_tree->NodeCount())) return {};
    return createIndex(int(node == PathTree::kRoot ? 0 : m_tree->NodeAt(node).row), column,
                       quintptr(node));
}

quint32 PathTreeModel::NodeOf(const QModelIndex &index) const
{
    return index.isValid() ? quint32(index.internalId()) : PathTree::kRoot;
}

QModelIndex PathTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= 3) return {};
    if (!parent.isValid())
        return row == 0 && m_shown ? createIndex(0, column, quintptr(PathTree::kRoot))
                                   : QModelIndex();
    const auto &children = m_tree->NodeAt(NodeOf(parent)).children;
    if (size_t(row) >= children.size()) return {};
    return createIndex(row, column, quintptr(children[size_t(row)]));
}

QModelIndex PathTreeModel::parent(const QModelIndex &child) const
{
    const quint32 node = NodeOf(child);
    if (!child.isValid() || node == PathTree::kRoot) return {};
    return IndexOf(m_tree->NodeAt(node).parent);
}

int PathTreeModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid()) return m_shown ? 1 : 0;
    if (parent.column() != 0) return 0;
    return int(m_tree->NodeAt(NodeOf(parent)).children.size());
}

int PathTreeModel::columnCount(const QModelIndex &) const
{
    return 3;
}

QVariant PathTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
        case 0:
            return QStringLiteral("Name");
        case 1:
            return QStringLiteral("Files");
        case 2:
            return QStringLiteral("Size");
        default:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole && section > 0)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant PathTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid()) return {};
    const PathTree::Node &node = m_tree->NodeAt(NodeOf(index));
    if (index.column() > 0) {
        if (node.foundFiles == 0) return {};
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::DisplayRole && index.column() == 1)
            return QLocale().toString(qint64(node.foundFiles));
        if (role == Qt::DisplayRole) return QLocale().formattedDataSize(node.foundBytes);
        if (role == Qt::ToolTipRole) return mapSizeText(node.foundBytes);
        return {};
    }
    if (role == Qt::DisplayRole) return node.text;
    if (role == Qt::DecorationRole) {
        switch (node.kind) {
        case PathTree::NodeKind::File:
            return FileTypeCache::shared().icon(node.fileType);
        case PathTree::NodeKind::Volume:
            return FileTypeCache::driveIcon(false, false, false);
        default:
            return folderNodeIcon();
        }
    }
    return {};
}

TPathTreeView::TPathTreeView(QWidget *parent) : QTreeView(parent), m_model(new PathTreeModel(this))
{
    installStyleIcons();
    setModel(m_model);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView *top = header();
    top->setStretchLastSection(false);
    top->setSectionResizeMode(0, QHeaderView::Stretch);
    top->setSectionResizeMode(1, QHeaderView::Interactive);
    top->setSectionResizeMode(2, QHeaderView::Interactive);
    const QFontMetrics metrics = fontMetrics();
    top->resizeSection(1, metrics.horizontalAdvance(QStringLiteral("0,000,000")) + 16);
    top->resizeSection(2, metrics.horizontalAdvance(QStringLiteral("000.0 MiB")) + 16);
    top->setSectionsClickable(true);
    top->setSortIndicatorShown(false);
    connect(top, &QHeaderView::sectionClicked, this,
            [this](int section) { SortBySize(section > 0); });
}

void TPathTreeView::SetFoundFiles(const FoundFileModel *rows)
{
    if (m_rows) disconnect(m_rows, nullptr, this, nullptr);
    m_rows = rows;
    if (!m_rows) return;
    connect(m_rows, &QAbstractItemModel::rowsRemoved, this, &TPathTreeView::countFoundLater);
    connect(m_rows, &QAbstractItemModel::modelReset, this, &TPathTreeView::countFoundLater);
}

void TPathTreeView::countFoundLater()
{
    if (m_countQueued) return;
    m_countQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_countQueued = false;
        countFound();
    });
}

void TPathTreeView::countFound()
{
    if (!m_rows) return;
    m_model->CountFound(*m_rows);
    if (m_bySize) m_model->SortBySize(true);
    viewport()->update();
}

void TPathTreeView::SortBySize(bool bySize)
{
    m_bySize = bySize;
    m_model->SortBySize(bySize);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(bySize ? 2 : 0, bySize ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TPathTreeView::SelectPath(const QByteArray &path)
{
    if (m_model->rowCount() == 0) return;
    const quint32 node = m_model->Locate(path);
    const QModelIndex index = m_model->IndexOf(node);
    setCurrentIndex(index);
    scrollTo(index);
}

void TPathTreeView::SetVolumeRoots(const QList<QByteArray> &roots)
{
    m_volumeRoots = roots;
}

void TPathTreeView::Rebuild()
{
    const bool busyCursor = qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
    if (busyCursor) QApplication::setOverrideCursor(Qt::WaitCursor);
    if (RootName.isEmpty()) RootName = QStringLiteral("Virtual Desktop");
    auto tree = std::make_unique<PathTree>();
    tree->Paths = Paths;
    tree->RootName = RootName;
    if (m_volumeRoots) tree->SetVolumeRoots(*m_volumeRoots);
    QElapsedTimer sincePump;
    sincePump.start();
    tree->SetPump([&sincePump] {
        if (sincePump.elapsed() >= 15) {
            QCoreApplication::processEvents();
            sincePump.restart();
        }
    });
    tree->Rebuild();
    tree->SetPump({});
    m_model->SetTree(std::move(tree));
    if (m_rows) m_model->CountFound(*m_rows);
    if (m_bySize) m_model->SortBySize(true);
    setRootIsDecorated(Tree().NodeCounter() > 0);
    if (Tree().NodeCount() > 1) expand(m_model->IndexOf(PathTree::kRoot));
    if (busyCursor) QApplication::restoreOverrideCursor();
}

void TPathTreeView::Clear()
{
    Paths.clear();
    m_model->Clear();
    setRootIsDecorated(false);
}

quint32 TPathTreeView::AddPath(const QByteArray &path)
{
    return m_model->AddPath(path);
}

} // namespace clarivex
