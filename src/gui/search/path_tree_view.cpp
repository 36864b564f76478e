#include "gui/search/path_tree_view.h"

#include "gui/search/style_icons.h"

#include "core/search/file_type_cache.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>

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

QModelIndex PathTreeModel::IndexOf(quint32 node) const
{
    if (node >= quint32(m_tree->NodeCount())) return {};
    return createIndex(int(node == PathTree::kRoot ? 0 : m_tree->NodeAt(node).row), 0,
                       quintptr(node));
}

quint32 PathTreeModel::NodeOf(const QModelIndex &index) const
{
    return index.isValid() ? quint32(index.internalId()) : PathTree::kRoot;
}

QModelIndex PathTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column != 0) return {};
    if (!parent.isValid())
        return row == 0 && m_shown ? createIndex(0, 0, quintptr(PathTree::kRoot)) : QModelIndex();
    const auto &children = m_tree->NodeAt(NodeOf(parent)).children;
    if (size_t(row) >= children.size()) return {};
    return createIndex(row, 0, quintptr(children[size_t(row)]));
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
    return int(m_tree->NodeAt(NodeOf(parent)).children.size());
}

int PathTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant PathTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid()) return {};
    const PathTree::Node &node = m_tree->NodeAt(NodeOf(index));
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
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
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
