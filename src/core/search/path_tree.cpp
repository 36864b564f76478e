#include "core/search/path_tree.h"

#include "core/base/path_text.h"
#include "core/platform/volumes.h"
#include "core/search/file_type_cache.h"

#include <QCollator>

#include <algorithm>

namespace clarivex {

namespace {
constexpr int kPumpEvery = 512;
} // namespace

PathTree::PathTree()
{
    clear();
}

void PathTree::SetVolumeRoots(const QList<QByteArray> &roots)
{
    m_volumeRoots = roots;
    m_volumeRootsSet = true;
    m_lastParent.clear();
    m_lastParentNode = kRoot;
}

void PathTree::clear()
{
    m_nodes.clear();
    m_childIndex.clear();
    m_lastParent.clear();
    m_lastParentNode = kRoot;
    m_lastVolumeRoot.clear();
    Node root;
    root.kind = NodeKind::Root;
    root.text = RootName;
    m_nodes.push_back(std::move(root));
}

void PathTree::pump()
{
    if (m_pump && ++m_pumpTick % kPumpEvery == 0) m_pump();
}

quint32 PathTree::FindChild(quint32 parent, const QString &text) const
{
    return m_childIndex.value(ChildKey{parent, text}, 0);
}

quint32 PathTree::childFor(quint32 parent, const QString &text, NodeKind kind)
{
    const ChildKey key{parent, text};
    const auto found = m_childIndex.constFind(key);
    if (found != m_childIndex.cend()) return *found;
    const auto id = quint32(m_nodes.size());
    Node node;
    node.text = text;
    node.parent = parent;
    node.kind = kind;
    node.row = quint32(m_nodes[parent].children.size());
    m_nodes.push_back(std::move(node));
    m_nodes[parent].children.push_back(id);
    m_childIndex.insert(key, id);
    ++m_counter;
    return id;
}

const QByteArray &PathTree::volumeRootOf(const QByteArray &path)
{
    if (!m_volumeRootsSet) {
        for (const platform::Volume &volume : platform::Volumes::list())
            m_volumeRoots.append(volume.root);
        m_volumeRootsSet = true;
    }
    m_lastVolumeRoot = platform::Volumes::rootOf(path, m_volumeRoots);
    return m_lastVolumeRoot;
}

quint32 PathTree::AddPath(const QByteArray &line)
{
    QByteArray path = line;
    QByteArray leaf = path;
    if (leaf.endsWith('/') && leaf.size() > 1) leaf.chop(1);
    if (!path.endsWith('/')) path.append('/');
    // Scans give the files of a folder one after the other: the folder of the
    // last path is found again without walking down to it.
    // A volume root inside that folder part is the same one for both paths.
    const qsizetype parentEnd = path.lastIndexOf('/', path.size() - 2) + 1; // 0: none
    const QByteArray volumeRoot = volumeRootOf(path);
    const bool onVolume = path.startsWith(volumeRoot);
    quint32 current = kRoot;
    qsizetype pos = 0;
    bool anySegment = false;
    if (m_lastParentNode != kRoot && onVolume && volumeRoot.size() < parentEnd &&
        parentEnd == m_lastParent.size() &&
        QByteArrayView(path).first(parentEnd) == QByteArrayView(m_lastParent)) {
        current = m_lastParentNode;
        pos = parentEnd;
        anySegment = true;
    } else {
        current = childFor(kRoot, displayText(volumeRoot), NodeKind::Volume);
        pos = onVolume ? volumeRoot.size() : 0;
    }

    // The rest, one folder at a time; empty parts ("//") name nothing.
    while (pos < path.size()) {
        const qsizetype slash = path.indexOf('/', pos);
        const QByteArrayView segment(path.constData() + pos, slash - pos);
        pos = slash + 1;
        if (!segment.isEmpty()) {
            pump();
            // Named as on disk: "Etc" and "etc" are two folders.
            current = childFor(current, displayText(segment), NodeKind::Folder);
            anySegment = true;
        }
        if (pos == parentEnd && anySegment && onVolume) {
            m_lastParent = path.first(parentEnd);
            m_lastParentNode = current;
        }
    }
    if (anySegment) {
        Node &last = m_nodes[current];
        last.kind = NodeKind::File;
        last.fileType = FileTypeCache::shared().indexOf(leaf.mid(leaf.lastIndexOf('/') + 1));
    }
    return current;
}

void PathTree::SortAll()
{
    // The user's collation, as the platform compares texts; the C locale
    // would order by code point ("Zeta" before "alpha"), so English stands in.
    QLocale locale;
    if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    std::vector<QCollatorSortKey> keys;
    for (Node &node : m_nodes) {
        std::vector<quint32> &children = node.children;
        if (children.size() < 2) continue;
        pump();
        keys.clear();
        keys.reserve(children.size());
        std::vector<quint32> order(children.size());
        for (quint32 i = 0; i < children.size(); ++i) {
            keys.push_back(collator.sortKey(m_nodes[children[i]].text));
            order[i] = i;
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](quint32 a, quint32 b) { return keys[a].compare(keys[b]) < 0; });
        std::vector<quint32> sorted(children.size());
        for (size_t i = 0; i < order.size(); ++i) {
            sorted[i] = children[order[i]];
            m_nodes[sorted[i]].row = quint32(i);
        }
        children.swap(sorted);
    }
}

void PathTree::renumber(quint32 node)
{
    const std::vector<quint32> &children = m_nodes[node].children;
    for (size_t i = 0; i < children.size(); ++i)
        m_nodes[children[i]].row = quint32(i);
}

void PathTree::SortBySize()
{
    SortAll();
    for (quint32 id = 0; id < m_nodes.size(); ++id) {
        std::vector<quint32> &children = m_nodes[id].children;
        if (children.size() < 2) continue;
        std::stable_sort(children.begin(), children.end(), [this](quint32 a, quint32 b) {
            return m_nodes[a].foundBytes > m_nodes[b].foundBytes;
        });
        renumber(id);
    }
}

void PathTree::ClearFound()
{
    for (Node &node : m_nodes) {
        node.foundFiles = 0;
        node.foundBytes = 0;
    }
}

quint32 PathTree::Locate(const QByteArray &line, bool *whole)
{
    if (whole) *whole = false;
    QByteArray path = line;
    if (!path.endsWith('/')) path.append('/');
    const QByteArray volumeRoot = volumeRootOf(path);
    quint32 current = FindChild(kRoot, displayText(volumeRoot));
    if (current == 0) return kRoot;
    qsizetype pos = path.startsWith(volumeRoot) ? volumeRoot.size() : 0;
    while (pos < path.size()) {
        const qsizetype slash = path.indexOf('/', pos);
        const QByteArrayView segment(path.constData() + pos, slash - pos);
        pos = slash + 1;
        if (segment.isEmpty()) continue;
        const quint32 child = FindChild(current, displayText(segment));
        if (child == 0) return current;
        current = child;
    }
    if (whole) *whole = true;
    return current;
}

void PathTree::addFoundAt(quint32 node, quint64 files, qint64 bytes)
{
    for (;;) {
        m_nodes[node].foundFiles += files;
        m_nodes[node].foundBytes += bytes;
        if (node == kRoot) break;
        node = m_nodes[node].parent;
    }
}

void PathTree::AddFound(const QByteArray &filePath, qint64 bytes)
{
    addFoundAt(Locate(filePath), 1, bytes);
}

void PathTree::AddFoundIn(const QByteArray &folder, const std::vector<QByteArray> &names,
                          const std::vector<qint64> &sizes)
{
    bool whole = false;
    const quint32 at = Locate(folder, &whole);
    // The folder gets the sum once, its file nodes their own size.
    const bool folderFound = whole && at != kRoot && m_nodes[at].kind != NodeKind::File;
    quint64 files = 0;
    qint64 bytes = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        ++files;
        bytes += sizes[i];
        if (!folderFound) continue;
        const quint32 file = FindChild(at, displayText(names[i]));
        if (file == 0) continue;
        m_nodes[file].foundFiles += 1;
        m_nodes[file].foundBytes += sizes[i];
    }
    addFoundAt(at, files, bytes);
}

void PathTree::Rebuild()
{
    if (RootName.isEmpty()) RootName = QStringLiteral("Virtual Desktop");
    clear();
    m_counter = 0;
    for (const QByteArray &line : Paths) {
        pump();
        const qsizetype slash = line.lastIndexOf('/');
        if (slash < 0) continue; // no folder part
        if (line.contains('.'))
            AddPath(line.left(slash + 1));
        else
            AddPath(line);
    }
    SortAll();
}

} // namespace clarivex
