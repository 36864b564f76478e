#pragma once

// The file tree's nodes, built from path lines (a found file's full path
// followed by "/", or a bare folder path). Below the root come the volume root
// the path lies on ("/" or "/mnt/data"), then one node per folder, then the
// file. Children are found through a hash, so a folder of 100,000 files builds
// as fast as many small ones; the result is the one a walk of the siblings
// would give. Needs no widget.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <vector>

namespace clarivex {

class PathTree
{
public:
    enum class NodeKind : quint8 { Root, Volume, Folder, File };
    struct Node
    {
        QString text;
        quint32 parent = 0;
        quint32 row = 0;      // position among its siblings
        quint32 fileType = 0; // FileTypeCache entry of a file node
        NodeKind kind = NodeKind::Folder;
        std::vector<quint32> children;
        quint64 foundFiles = 0; // the found files at or below the node
        qint64 foundBytes = 0;
    };
    static constexpr quint32 kRoot = 0;

    PathTree();

    QList<QByteArray> Paths;
    QString RootName;
    // The volume roots paths are placed under (the mounted volumes when unset).
    void SetVolumeRoots(const QList<QByteArray> &roots);
    // Called now and then while building, so a window can stay responsive.
    void SetPump(std::function<void()> pump) { m_pump = std::move(pump); }

    void Rebuild();
    // Adds the nodes of one path below the root and returns the last one.
    quint32 AddPath(const QByteArray &path);
    // Orders the siblings of every level by the platform's string comparison.
    void SortAll();

    // Orders the siblings of every level by their found bytes, largest first
    // (equal ones by name, as SortAll).
    void SortBySize();

    // Found files: each is counted at its own node (or, when the tree has
    // none, the deepest folder of its path) and at every node above.
    void ClearFound();
    void AddFound(const QByteArray &filePath, qint64 bytes);
    // The same for many files of one folder at once.
    void AddFoundIn(const QByteArray &folder, const std::vector<QByteArray> &names,
                    const std::vector<qint64> &sizes);
    // The deepest node the path leads to without adding any; `whole` says
    // whether the path led all the way.
    [[nodiscard]] quint32 Locate(const QByteArray &path, bool *whole = nullptr);

    [[nodiscard]] int NodeCounter() const { return m_counter; }
    [[nodiscard]] qsizetype NodeCount() const { return qsizetype(m_nodes.size()); }
    [[nodiscard]] const Node &NodeAt(quint32 id) const { return m_nodes[id]; }
    // The child with exactly this text, or 0 when there is none.
    [[nodiscard]] quint32 FindChild(quint32 parent, const QString &text) const;

private:
    struct ChildKey
    {
        quint32 parent;
        QString text;
        bool operator==(const ChildKey &) const = default;
    };
    friend size_t qHash(const ChildKey &key, size_t seed) noexcept
    {
        return qHashMulti(seed, key.parent, key.text);
    }

    void clear();
    void addFoundAt(quint32 node, quint64 files, qint64 bytes);
    const QByteArray &volumeRootOf(const QByteArray &path);
    void renumber(quint32 node);
    quint32 childFor(quint32 parent, const QString &text, NodeKind kind);
    void pump();

    std::vector<Node> m_nodes;
    QHash<ChildKey, quint32> m_childIndex;
    QList<QByteArray> m_volumeRoots;
    bool m_volumeRootsSet = false;
    // The folder part of the last path added and its node (the root: none).
    QByteArray m_lastParent;
    quint32 m_lastParentNode = kRoot;
    QByteArray m_lastVolumeRoot;
    int m_counter = 0;
    int m_pumpTick = 0;
    std::function<void()> m_pump;
};

} // namespace clarivex
