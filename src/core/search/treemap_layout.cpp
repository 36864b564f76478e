#include "core/search/treemap_layout.h"

#include <QHash>

#include <algorithm>
#include <limits>

namespace clarivex {

void Treemap::Clear()
{
    m_cells.clear();
    m_cells.shrink_to_fit();
    m_folders.clear();
    m_children.clear();
    m_names.clear();
    m_cellOwners.clear();
    m_others.clear();
    m_view = kRoot;
    m_bounds = {};
}

void Treemap::Build(Source source)
{
    Clear();
    m_cells = std::move(source.cells);
    const auto named = [this](const QByteArray &name) {
        MapFolder node;
        node.nameAt = quint32(m_names.size());
        node.nameSize = quint32(name.size());
        m_names += name;
        return node;
    };
    m_folders.push_back(named("/"));
    QHash<std::pair<quint32, QByteArray>, quint32> index;
    for (size_t f = 0; f < source.folders.size(); ++f) {
        const QByteArray &path = source.folders[f];
        quint32 current = kRoot;
        qsizetype pos = 0;
        while (pos < path.size()) {
            qsizetype slash = path.indexOf('/', pos);
            if (slash < 0) slash = path.size();
            const QByteArray part = path.mid(pos, slash - pos);
            pos = slash + 1;
            if (part.isEmpty()) continue;
            const auto key = std::make_pair(current, part);
            auto found = index.constFind(key);
            if (found == index.cend()) {
                MapFolder node = named(part);
                node.parent = current;
                m_folders.push_back(node);
                found = index.insert(key, quint32(m_folders.size() - 1));
            }
            current = *found;
        }
        // Two spellings of one folder ("a//b/", "a/b/") get a node each, so
        // that every node's files stay one run.
        if (m_folders[current].cellEnd != m_folders[current].cellBegin) {
            MapFolder twin;
            twin.nameAt = m_folders[current].nameAt;
            twin.nameSize = m_folders[current].nameSize;
            twin.parent = m_folders[current].parent;
            if (current == kRoot) twin.parent = kRoot;
            m_folders.push_back(twin);
            current = quint32(m_folders.size() - 1);
        }
        MapFolder &node = m_folders[current];
        node.cellBegin = source.folderStart[f];
        node.cellEnd = source.folderStart[f + 1];
        node.bytes = f < source.folderBytes.size() ? source.folderBytes[f] : 0;
        node.files = node.cellEnd - node.cellBegin;
        m_cellOwners.push_back(current);
    }
    // Children in one array; a parent always comes before its children.
    std::vector<quint32> counts(m_folders.size() + 1, 0);
    for (size_t id = 1; id < m_folders.size(); ++id)
        ++counts[m_folders[id].parent + 1];
    for (size_t i = 1; i < counts.size(); ++i)
        counts[i] += counts[i - 1];
    m_children.assign(m_folders.size() ? m_folders.size() - 1 : 0, 0);
    for (size_t id = 0; id < m_folders.size(); ++id) {
        m_folders[id].childBegin = counts[id];
        m_folders[id].childEnd = counts[id];
    }
    for (size_t id = 1; id < m_folders.size(); ++id)
        m_children[m_folders[m_folders[id].parent].childEnd++] = quint32(id);
    for (size_t id = m_folders.size() - 1; id > 0; --id) {
        MapFolder &parent = m_folders[m_folders[id].parent];
        parent.bytes += m_folders[id].bytes;
        parent.files += m_folders[id].files;
    }
    std::sort(m_cellOwners.begin(), m_cellOwners.end(), [this](quint32 a, quint32 b) {
        return m_folders[a].cellBegin < m_folders[b].cellBegin;
    });
    // The map lives as long as the list: no room kept for growth.
    m_folders.shrink_to_fit();
    m_cellOwners.shrink_to_fit();
    m_names.squeeze();
}

const quint32 *Treemap::ChildrenBegin(quint32 id) const
{
    return m_children.data() + m_folders[id].childBegin;
}

const quint32 *Treemap::ChildrenEnd(quint32 id) const
{
    return m_children.data() + m_folders[id].childEnd;
}

quint32 Treemap::FolderOfCell(quint32 cell) const
{
    const auto after = std::upper_bound(
        m_cellOwners.begin(), m_cellOwners.end(), cell,
        [this](quint32 c, quint32 folder) { return c < m_folders[folder].cellBegin; });
    return after == m_cellOwners.begin() ? kRoot : *(after - 1);
}

QByteArray Treemap::NameOf(quint32 folder) const
{
    if (folder >= m_folders.size()) return {};
    return m_names.mid(m_folders[folder].nameAt, m_folders[folder].nameSize);
}

QByteArray Treemap::PathOf(quint32 folder) const
{
    QList<QByteArray> parts;
    for (quint32 f = folder; f != kRoot && f < m_folders.size(); f = m_folders[f].parent)
        parts.prepend(NameOf(f));
    QByteArray path = "/";
    for (const QByteArray &part : parts)
        path += part + '/';
    return path;
}

qint64 Treemap::CellOfRow(quint32 row) const
{
    for (size_t i = 0; i < m_cells.size(); ++i) {
        if (m_cells[i].row == row) return qint64(i);
    }
    return -1;
}

quint32 Treemap::FirstBranch(quint32 folder) const
{
    while (folder < m_folders.size()) {
        const MapFolder &node = m_folders[folder];
        if (node.cellEnd != node.cellBegin || node.childEnd - node.childBegin != 1) break;
        folder = m_children[node.childBegin];
    }
    return folder;
}

void Treemap::Layout(quint32 view, const QRectF &bounds, double minArea)
{
    m_view = view;
    m_bounds = bounds;
    m_minArea = minArea;
    m_others.clear();
    // The weights this layout sees stay as they are until the next one, so
    // that the files' boxes can be worked out again after rows left.
    for (MapCell &cell : m_cells) {
        if (cell.row == kNoRow) cell.bytes = 0;
    }
    for (MapFolder &folder : m_folders) {
        folder.placed = false;
        folder.laidOutBytes = folder.bytes;
    }
    if (view >= m_folders.size()) return;
    layoutFolder(view, {float(bounds.x()), float(bounds.y()), float(bounds.width()),
                        float(bounds.height())});
}

void Treemap::layoutFolder(quint32 folder, const MapBox &box)
{
    m_folders[folder].box = box;
    m_folders[folder].placed = true;
    std::sort(m_cells.begin() + qsizetype(m_folders[folder].cellBegin),
              m_cells.begin() + qsizetype(m_folders[folder].cellEnd),
              [](const MapCell &a, const MapCell &b) { return a.bytes > b.bytes; });
    MapOther pooled;
    std::vector<quint32> children;
    arrange(folder, box, pooled, [&](Placed kind, quint32 index, const MapBox &at) {
        if (kind == Placed::Folder) {
            m_folders[index].box = at;
            children.push_back(index);
        } else if (kind == Placed::Other) {
            pooled.box = at;
            m_others.push_back(pooled);
        }
    });
    for (quint32 child : children)
        layoutFolder(child, m_folders[child].box);
}

template <typename Place>
void Treemap::arrange(quint32 folder, const MapBox &box, MapOther &pooled, Place &&place) const
{
    const size_t cellBegin = m_folders[folder].cellBegin;
    const size_t cellEnd = m_folders[folder].cellEnd;
    const double x = box.x, y = box.y, w = std::max(0.0f, box.w), h = std::max(0.0f, box.h);
    double total = 0;
    for (size_t c = cellBegin; c < cellEnd; ++c)
        total += double(m_cells[c].bytes);
    for (const quint32 *c = ChildrenBegin(folder); c != ChildrenEnd(folder); ++c)
        total += double(m_folders[*c].laidOutBytes);
    const double scale = total > 0 ? w * h / total : 0.0;

    // The child folders that get an area, and one "other" for the rest.
    std::vector<Item> big;
    pooled = {};
    pooled.parent = folder;
    for (const quint32 *c = ChildrenBegin(folder); c != ChildrenEnd(folder); ++c) {
        const MapFolder &child = m_folders[*c];
        if (double(child.laidOutBytes) * scale < m_minArea) {
            ++pooled.folders;
            pooled.files += child.files;
            pooled.bytes += child.laidOutBytes;
        } else {
            big.push_back({double(child.laidOutBytes), *c, false});
        }
    }
    if (pooled.folders > 0) big.push_back({double(pooled.bytes), 0, true});
    std::stable_sort(big.begin(), big.end(),
                     [](const Item &a, const Item &b) { return a.weight > b.weight; });

    // The files and the folders together, largest first.
    struct Pos
    {
        size_t c, b;
        bool operator==(const Pos &) const = default;
    };
    const auto atEnd = [&](Pos p) { return p.c == cellEnd && p.b == big.size(); };
    const auto isCell = [&](Pos p) {
        if (p.b == big.size()) return true;
        if (p.c == cellEnd) return false;
        return double(m_cells[p.c].bytes) >= big[p.b].weight;
    };
    const auto weightAt = [&](Pos p) {
        return isCell(p) ? double(m_cells[p.c].bytes) * scale : big[p.b].weight * scale;
    };
    const auto step = [&](Pos &p) { isCell(p) ? ++p.c : ++p.b; };
    const auto put = [&](Pos p, double bx, double by, double bw, double bh) {
        const MapBox at{float(bx), float(by), float(bw), float(bh)};
        if (isCell(p))
            place(Placed::Cell, quint32(p.c), at);
        else
            place(big[p.b].other ? Placed::Other : Placed::Folder, big[p.b].index, at);
    };

    // Squarified rows (Bruls, Huizing, van Wijk): a row grows while its worst
    // aspect ratio improves, then is laid along the short side of what is left.
    Pos p{cellBegin, 0};
    double rx = x, ry = y, rw = w, rh = h;
    while (!atEnd(p) && weightAt(p) > 0) {
        const double side = std::min(rw, rh);
        Pos q = p;
        double sum = 0, largest = 0, smallest = std::numeric_limits<double>::max();
        double worst = std::numeric_limits<double>::max();
        while (!atEnd(q)) {
            const double a = weightAt(q);
            if (a <= 0) break;
            const double s = sum + a;
            const double hi = std::max(largest, a), lo = std::min(smallest, a);
            const double ratio = std::max(side * side * hi / (s * s), (s * s) / (side * side * lo));
            if (sum > 0 && ratio > worst) break;
            sum = s;
            largest = hi;
            smallest = lo;
            worst = ratio;
            step(q);
        }
        const bool last = atEnd(q) || weightAt(q) <= 0;
        const bool column = rw >= rh; // the row stands along the left edge
        const double extent = column ? rh : rw;
        double thickness = extent > 0 ? sum / extent : 0;
        if (last) thickness = column ? rw : rh;
        double along = column ? ry : rx;
        const double end = along + extent;
        for (Pos r = p; !(r == q);) {
            Pos next = r;
            step(next);
            const double length =
                next == q ? end - along : (thickness > 0 ? weightAt(r) / thickness : 0);
            if (column)
                put(r, rx, along, thickness, length);
            else
                put(r, along, ry, length, thickness);
            along += length;
            r = next;
        }
        if (column) {
            rx += thickness;
            rw = std::max(0.0, rw - thickness);
        } else {
            ry += thickness;
            rh = std::max(0.0, rh - thickness);
        }
        p = q;
    }
    for (; !atEnd(p); step(p)) // nothing to show: no area
        put(p, rx, ry, 0, 0);
}

void Treemap::CellBoxes(quint32 folder, std::vector<MapBox> &boxes) const
{
    boxes.clear();
    if (folder >= m_folders.size()) return;
    const MapFolder &node = m_folders[folder];
    boxes.assign(node.cellEnd - node.cellBegin, MapBox{});
    if (!node.placed) return;
    MapOther pooled;
    arrange(folder, node.box, pooled, [&](Placed kind, quint32 index, const MapBox &at) {
        if (kind == Placed::Cell) boxes[index - node.cellBegin] = at;
    });
}

MapBox Treemap::CellBox(quint32 cell) const
{
    if (cell >= m_cells.size()) return {};
    const quint32 folder = FolderOfCell(cell);
    std::vector<MapBox> boxes;
    CellBoxes(folder, boxes);
    const quint32 at = cell - m_folders[folder].cellBegin;
    return at < boxes.size() ? boxes[at] : MapBox{};
}

Treemap::Hit Treemap::HitTest(QPointF point) const
{
    Hit hit;
    if (m_view >= m_folders.size() || !m_folders[m_view].placed ||
        !m_folders[m_view].box.contains(point))
        return hit;
    quint32 folder = m_view;
    for (bool deeper = true; deeper;) {
        deeper = false;
        for (const quint32 *c = ChildrenBegin(folder); c != ChildrenEnd(folder); ++c) {
            if (m_folders[*c].placed && m_folders[*c].box.contains(point)) {
                folder = *c;
                deeper = true;
                break;
            }
        }
    }
    hit.folder = folder;
    hit.kind = Hit::Folder;
    hit.index = folder;
    for (size_t i = 0; i < m_others.size(); ++i) {
        if (m_others[i].parent == folder && m_others[i].box.contains(point)) {
            hit.kind = Hit::Other;
            hit.index = quint32(i);
            return hit;
        }
    }
    const MapFolder &node = m_folders[folder];
    std::vector<MapBox> boxes;
    CellBoxes(folder, boxes);
    for (quint32 c = node.cellBegin; c < node.cellEnd; ++c) {
        if (m_cells[c].row != kNoRow && boxes[c - node.cellBegin].contains(point)) {
            hit.kind = Hit::Cell;
            hit.index = c;
            return hit;
        }
    }
    return hit;
}

qsizetype Treemap::RemapRows(const std::function<quint32(quint32)> &newRow)
{
    qsizetype gone = 0;
    for (MapCell &cell : m_cells) {
        if (cell.row == kNoRow) continue;
        cell.row = newRow(cell.row);
        if (cell.row == kNoRow) ++gone;
    }
    return gone;
}

void Treemap::Recount(const std::function<qint64(quint32)> &sizeOfRow)
{
    for (MapFolder &folder : m_folders) {
        folder.bytes = 0;
        folder.files = 0;
        for (quint32 c = folder.cellBegin; c < folder.cellEnd; ++c) {
            if (m_cells[c].row == kNoRow) continue;
            ++folder.files;
            folder.bytes += sizeOfRow(m_cells[c].row);
        }
    }
    for (size_t id = m_folders.size(); id-- > 1;) {
        MapFolder &parent = m_folders[m_folders[id].parent];
        parent.bytes += m_folders[id].bytes;
        parent.files += m_folders[id].files;
    }
}

} // namespace clarivex
