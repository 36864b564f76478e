#pragma once

// The drawing surface of the "Map" tab: the picture the worker made, the
// names of the folders large enough to carry one, the outline of the file
// under the pointer and of the rows selected in the list. Mouse and popup
// menu go to the map.

#include "core/search/treemap_layout.h"

#include <QWidget>

#include <vector>

namespace clarivex {

class TFoundFilesMap;

class TreemapCanvas : public QWidget
{
    Q_OBJECT
public:
    explicit TreemapCanvas(TFoundFilesMap *map);

    // The layout or its rows changed: outlines are found again.
    void mapChanged();
    // Writes the folder names into a new picture of the map, once, so that a
    // frame only copies it.
    void drawLabels(QImage &picture) const;
    void selectionChanged();
    [[nodiscard]] const std::vector<quint32> &SelectedCells() const { return m_selected; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool event(QEvent *event) override;

private:
    void drawOutlines(QPainter &painter) const;

    TFoundFilesMap *m_map;
    std::vector<quint32> m_selected;     // cells of the selected rows
    std::vector<MapBox> m_selectedBoxes; // where they lie
    qint64 m_hoverCell = -1;
    MapBox m_hoverBox;
};

} // namespace clarivex
