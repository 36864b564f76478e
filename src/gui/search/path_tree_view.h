#pragma once

// The file tree: a tree view over PathTree. Rebuild builds a new tree aside
// (the window keeps working through the pump) and then shows it at once.
// Beside each node: how many of the found files lie at or below it, and their
// bytes; a click on "Files" or "Size" orders the siblings by size, on "Name"
// by name.

#include "core/search/path_tree.h"

#include <QAbstractItemModel>
#include <QTreeView>

#include <memory>
#include <optional>

namespace clarivex {

class FoundFileModel;

class PathTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit PathTreeModel(QObject *parent = nullptr);

    [[nodiscard]] const PathTree &Tree() const { return *m_tree; }
    // Shows the given tree instead of the current one.
    void SetTree(std::unique_ptr<PathTree> tree);
    // No nodes at all, not even the root (the tree before the first scan).
    void Clear();
    // Adds one path to the shown tree (unsorted, as the last children).
    quint32 AddPath(const QByteArray &path);

    // Counts the found files of `rows` into the tree's nodes again.
    void CountFound(const FoundFileModel &rows);
    // The deepest node of the shown tree on the way to `path`.
    [[nodiscard]] quint32 Locate(const QByteArray &path) { return m_tree->Locate(path); }
    // Siblings by found bytes (largest first), or by name.
    void SortBySize(bool bySize);

    [[nodiscard]] QModelIndex IndexOf(quint32 node, int column = 0) const;
    [[nodiscard]] quint32 NodeOf(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::unique_ptr<PathTree> m_tree;
    bool m_shown = false; // false: the view shows no root either
};

class TPathTreeView : public QTreeView
{
    Q_OBJECT
public:
    explicit TPathTreeView(QWidget *parent = nullptr);

    QList<QByteArray> Paths;
    QString RootName;
    void SetVolumeRoots(const QList<QByteArray> &roots);

    void Rebuild();
    // Empties the tree: no root node, no paths.
    void Clear();
    quint32 AddPath(const QByteArray &path);
    [[nodiscard]] const PathTree &Tree() const { return m_model->Tree(); }
    [[nodiscard]] PathTreeModel *Model() const { return m_model; }

    // The found files whose counts and bytes the nodes show; counted again
    // after each rebuild and when rows leave the list.
    void SetFoundFiles(const FoundFileModel *rows);
    void SortBySize(bool bySize);
    [[nodiscard]] bool SortedBySize() const { return m_bySize; }
    // Selects the node of a path (the deepest the tree has) and shows it.
    void SelectPath(const QByteArray &path);

private:
    void countFound();
    void countFoundLater();

    PathTreeModel *m_model = nullptr;
    const FoundFileModel *m_rows = nullptr;
    bool m_bySize = false;
    bool m_countQueued = false;
    std::optional<QList<QByteArray>> m_volumeRoots;
};

} // namespace clarivex
