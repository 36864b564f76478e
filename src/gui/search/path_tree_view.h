#pragma once

// The file tree: a tree view over PathTree. Rebuild builds a new tree aside
// (the window keeps working through the pump) and then shows it at once.

#include "core/search/path_tree.h"

#include <QAbstractItemModel>
#include <QTreeView>

#include <memory>
#include <optional>

namespace clarivex {

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

    [[nodiscard]] QModelIndex IndexOf(quint32 node) const;
    [[nodiscard]] quint32 NodeOf(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

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

private:
    PathTreeModel *m_model = nullptr;
    std::optional<QList<QByteArray>> m_volumeRoots;
};

} // namespace clarivex
