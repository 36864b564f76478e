#include "core/search/treemap_layout.h"

#include <QHash>

#include <algorithm>
#include <limits>

namespace clarivex {

namespace {

double weightOf(const MapCell &cell)
{
    return cell.row == Treemap::kNoRow ? 0.0 : double(cell.bytes);
}

} // namespace

void Treemap::Clear()
{
    m_cells.clear();
    m_cells.shrink_to_fit();
    m_folders.clear();
    m_children.clear();
    m_cellOwners.clear();
    m_others.clear();
    m_view = kRoot;
    m_bounds = {};
}

void Treemap::Build(Source source)
{
    Clear();
    m_cells = std::move(source.cells);
    MapFolder root;
    root.name = "/";
    m_folders.push_back(root);
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
                MapFolder node;
                node.name = part;
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
            twin.name = m_folders[current].name;
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

QByteArray Treemap::PathOf(quint32 folder) const
{
    QList<QByteArray> parts;
    for (quint32 f = folder; f != kRoot && f < m_folders.size(); f = m_folders[f].parent)
        parts.prepend(m_folders[f].name);
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
    m_others.clear();
    for (MapFolder &folder : m_folders)
        folder.placed = false;
    if (view >= m_folders.size()) return;
    layoutFolder(view, bounds.x(), bounds.y(), bounds.width(), bounds.height(), minArea);
}

void Treemap::layoutFolder(quint32 folder, double x, double y, double w, double h, double minArea)
{
    m_folders[folder].box = {float(x), float(y), float(w), float(h)};
    m_folders[folder].placed = true;
    const size_t cellBegin = m_folders[folder].cellBegin;
    const size_t cellEnd = m_folders[folder].cellEnd;
    std::sort(m_cells.begin() + qsizetype(cellBegin), m_cells.begin() + qsizetype(cellEnd),
              [](const MapCell &a, const MapCell &b) { return weightOf(a) > weightOf(b); });
    double total = 0;
    for (size_t c = cellBegin; c < cellEnd; ++c)
        total += weightOf(m_cells[c]);
    for (const quint32 *c = ChildrenBegin(folder); c != ChildrenEnd(folder); ++c)
        total += double(m_folders[*c].bytes);
    const double area = std::max(0.0, w) * std::max(0.0, h);
    const double scale = total > 0 ? area / total : 0.0;

    // The child folders that get an area, and one "other" for the rest.
    std::vector<Item> big;
    MapOther other;
    other.parent = folder;
    for (const quint32 *c = ChildrenBegin(folder); c != ChildrenEnd(folder); ++c) {
        const MapFolder &child = m_folders[*c];
        if (double(child.bytes) * scale < minArea) {
            ++other.folders;
            other.files += child.files;
            other.bytes += child.bytes;
        } else {
            big.push_back({double(child.bytes), *c, false});
        }
    }
    if (other.folders > 0) {
        m_others.push_back(other);
        big.push_back({double(other.bytes), quint32(m_others.size() - 1), true});
    }
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
        return weightOf(m_cells[p.c]) >= big[p.b].weight;
    };
    const auto weightAt = [&](Pos p) {
        return isCell(p) ? weightOf(m_cells[p.c]) * scale : big[p.b].weight * scale;
    };
    const auto step = [&](Pos &p) { isCell(p) ? ++p.c : ++p.b; };
    const auto place = [&](Pos p, double bx, double by, double bw, double bh) {
        const MapBox box{float(bx), float(by), float(bw), float(bh)};
        if (isCell(p))
            m_cells[p.c].box = box;
        else if (big[p.b].other)
            m_others[big[p.b].index].box = box;
        else
            m_folders[big[p.b].index].box = box;
    };

    // Squarified rows (Bruls, Huizing, van Wijk): a row grows while its worst
    // aspect ratio improves, then is laid along the short side of what is left.
    Pos p{cellBegin, 0};
    double rx = x, ry = y, rw = std::max(0.0, w), rh = std::max(0.0, h);
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
                place(r, rx, along, thickness, length);
            else
                place(r, along, ry, length, thickness);
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
        place(p, rx, ry, 0, 0);

    for (const Item &item : big) {
        if (item.other) continue;
        const MapBox box = m_folders[item.index].box;
        layoutFolder(item.index, box.x, box.y, box.w, box.h, minArea);
    }
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
    for (quint32 c = node.cellBegin; c < node.cellEnd; ++c) {
        if (m_cells[c].row != kNoRow && m_cells[c].box.contains(point)) {
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
