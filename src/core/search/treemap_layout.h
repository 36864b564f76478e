#pragma once

// A squarified treemap of found files, nested by folder. It is built once
// from the rows (one cell per file, one node per folder of their paths); a
// layout then places the part below one folder into a rectangle, every area in
// proportion to its bytes. Child folders whose area would fall below a minimum
// are pooled into one "other" area of their parent. Needs no widget, and runs
// on any thread (one thread at a time).

#include <QByteArray>
#include <QPointF>
#include <QRectF>

#include <functional>
#include <vector>

namespace clarivex {

struct MapBox
{
    float x = 0, y = 0, w = 0, h = 0;
    [[nodiscard]] bool contains(QPointF p) const
    {
        return p.x() >= x && p.y() >= y && p.x() < double(x) + w && p.y() < double(y) + h;
    }
    [[nodiscard]] QRectF rect() const { return {x, y, w, h}; }
};

// One file: 8 bytes, the only storage the map needs per row. Where a file
// lies is worked out again from its folder's box when it is drawn or pointed
// at (Treemap::CellBoxes), so a layout keeps nothing per file.
struct MapCell
{
    quint32 row; // its found-file row; kNoRow once the row left the list
    float bytes; // its size, for the proportions (exact sizes stay in the rows)
};
static_assert(sizeof(MapCell) == 8);

// One folder of the files' paths: 72 bytes, its name kept apart (NameOf).
struct MapFolder
{
    quint32 nameAt = 0, nameSize = 0; // in the map's store of names
    quint32 parent = 0;
    quint32 childBegin = 0, childEnd = 0; // into Treemap::Children()
    quint32 cellBegin = 0, cellEnd = 0;   // its own files
    bool placed = false;                  // has an area of its own in the last layout
    qint64 bytes = 0;                     // of the files below it, exactly
    qint64 laidOutBytes = 0;              // `bytes` when the last layout ran
    quint64 files = 0;
    MapBox box;
};

// Child folders too small to draw, shown as one area of their parent.
struct MapOther
{
    MapBox box;
    quint32 parent = 0;
    quint32 folders = 0;
    quint64 files = 0;
    qint64 bytes = 0;
};

class Treemap
{
public:
    static constexpr quint32 kNoRow = 0xffffffffu;
    static constexpr quint32 kRoot = 0;

    // What a treemap is built from: the folder paths (with "/" between parts),
    // and the cells of each folder in one run: folder f owns cells
    // [folderStart[f], folderStart[f + 1]).
    struct Source
    {
        std::vector<QByteArray> folders;
        std::vector<quint32> folderStart{0};
        std::vector<qint64> folderBytes; // exact bytes of each folder's own files
        std::vector<MapCell> cells;
    };

    void Build(Source source);
    void Clear();

    // Places the files below `view` into `bounds`. Child folders smaller than
    // `minArea` (in the units of `bounds`, squared) become "other" areas.
    void Layout(quint32 view, const QRectF &bounds, double minArea);

    [[nodiscard]] bool IsEmpty() const { return m_cells.empty(); }
    [[nodiscard]] quint32 View() const { return m_view; }
    [[nodiscard]] QRectF Bounds() const { return m_bounds; }
    [[nodiscard]] const std::vector<MapCell> &Cells() const { return m_cells; }
    [[nodiscard]] const std::vector<MapFolder> &Folders() const { return m_folders; }
    [[nodiscard]] const std::vector<MapOther> &Others() const { return m_others; }
    [[nodiscard]] const MapFolder &Folder(quint32 id) const { return m_folders[id]; }
    // Where the files of a placed folder lie in the last layout: one box per
    // cell of [cellBegin, cellEnd), an empty one for a file with no area.
    // Empty boxes only for a folder the last layout did not place.
    void CellBoxes(quint32 folder, std::vector<MapBox> &boxes) const;
    [[nodiscard]] MapBox CellBox(quint32 cell) const;
    [[nodiscard]] const quint32 *ChildrenBegin(quint32 id) const;
    [[nodiscard]] const quint32 *ChildrenEnd(quint32 id) const;
    // The folder whose own files include cell `cell`.
    [[nodiscard]] quint32 FolderOfCell(quint32 cell) const;
    // One part of the folder's path ("/" for the root).
    [[nodiscard]] QByteArray NameOf(quint32 folder) const;
    // The folder's full path, "/" between parts and at the end.
    [[nodiscard]] QByteArray PathOf(quint32 folder) const;
    // The cell of a row, or -1 (a linear search: for a click, not a loop).
    [[nodiscard]] qint64 CellOfRow(quint32 row) const;
    // Follows a chain of folders that hold nothing but one folder.
    [[nodiscard]] quint32 FirstBranch(quint32 folder) const;

    struct Hit
    {
        enum Kind : quint8 { None, Cell, Other, Folder } kind = None;
        quint32 index = 0;  // the cell, other area or folder
        quint32 folder = 0; // the innermost placed folder holding the point
    };
    [[nodiscard]] Hit HitTest(QPointF point) const;

    // The rows were renumbered: `newRow` gives each old row its new number, or
    // kNoRow when it left. Returns how many cells lost their row.
    qsizetype RemapRows(const std::function<quint32(quint32)> &newRow);
    // Counts the files and bytes of every folder again from the cells left.
    void Recount(const std::function<qint64(quint32 row)> &sizeOfRow);

private:
    struct Item
    {
        double weight;
        quint32 index;
        bool other;
    };
    enum class Placed : quint8 { Cell, Folder, Other };
    // Squarifies one folder's files and child areas into its box, telling
    // `place` where each goes. Depends only on what the last layout saw, so
    // the boxes of files can be worked out again at any time.
    template <typename Place>
    void arrange(quint32 folder, const MapBox &box, MapOther &pooled, Place &&place) const;
    void layoutFolder(quint32 folder, const MapBox &box);

    std::vector<MapCell> m_cells;
    std::vector<MapFolder> m_folders;
    QByteArray m_names; // every folder's name, one after another
    std::vector<quint32> m_children;
    std::vector<quint32> m_cellOwners; // folders with files, by cellBegin
    std::vector<MapOther> m_others;
    quint32 m_view = kRoot;
    QRectF m_bounds;
    double m_minArea = 0;
};

} // namespace clarivex
