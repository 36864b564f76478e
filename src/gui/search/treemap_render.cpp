#include "gui/search/treemap_render.h"

#include <QPainter>

#include <cmath>

namespace clarivex {

namespace {

// Areas below this many square pixels are blended into their folder.
constexpr double kTinyArea = 1.0;

QRgb colourOf(const TreemapColours &colours, quint32 row)
{
    return row < colours.ofRow.size() ? colours.ofRow[row] : colours.other;
}

void drawFolderFiles(QPainter &painter, const Treemap &map, quint32 id,
                     const TreemapColours &colours, double pixels, std::vector<MapBox> &boxes)
{
    const MapFolder &folder = map.Folder(id);
    if (folder.cellBegin == folder.cellEnd) return;
    map.CellBoxes(id, boxes);
    const MapCell *cells = map.Cells().data() + folder.cellBegin;
    const size_t count = folder.cellEnd - folder.cellBegin;
    double tinyArea = 0, red = 0, green = 0, blue = 0;
    for (size_t c = 0; c < count; ++c) {
        const MapCell &cell = cells[c];
        const double area = double(boxes[c].w) * boxes[c].h * pixels;
        if (area <= 0 || area >= kTinyArea) continue;
        const QRgb rgb =
            cell.row == Treemap::kNoRow ? colours.background : colourOf(colours, cell.row);
        tinyArea += area;
        red += qRed(rgb) * area;
        green += qGreen(rgb) * area;
        blue += qBlue(rgb) * area;
    }
    if (tinyArea > 0)
        painter.fillRect(folder.box.rect(),
                         QColor(int(red / tinyArea), int(green / tinyArea), int(blue / tinyArea)));
    for (size_t c = 0; c < count; ++c) {
        const MapCell &cell = cells[c];
        const MapBox &box = boxes[c];
        if (double(box.w) * box.h * pixels < kTinyArea) continue;
        const QRectF rect = box.rect();
        if (cell.row == Treemap::kNoRow) {
            painter.fillRect(rect, QColor::fromRgb(colours.background));
            continue;
        }
        const QColor colour = QColor::fromRgb(colourOf(colours, cell.row));
        painter.fillRect(rect, colour);
        if (box.w * pixels >= 16 && box.h * pixels >= 16) {
            // A lit top-left and a shaded bottom-right edge tell neighbours apart.
            const qreal px = 1.0 / std::sqrt(pixels);
            painter.fillRect(QRectF(rect.left(), rect.top(), rect.width(), px),
                             colour.lighter(125));
            painter.fillRect(QRectF(rect.left(), rect.top(), px, rect.height()),
                             colour.lighter(125));
            painter.fillRect(QRectF(rect.left(), rect.bottom() - px, rect.width(), px),
                             colour.darker(135));
            painter.fillRect(QRectF(rect.right() - px, rect.top(), px, rect.height()),
                             colour.darker(135));
        }
    }
}

} // namespace

QImage renderTreemap(const Treemap &map, QSize size, qreal pixelRatio,
                     const TreemapColours &colours)
{
    QImage image(size * pixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(colours.background);
    if (map.IsEmpty() || map.View() >= map.Folders().size()) return image;
    QPainter painter(&image);
    const double pixels = pixelRatio * pixelRatio; // device pixels per unit of area
    std::vector<quint32> order{map.View()};
    std::vector<quint32> placed;
    std::vector<MapBox> boxes;
    while (!order.empty()) {
        const quint32 id = order.back();
        order.pop_back();
        const MapFolder &folder = map.Folder(id);
        if (!folder.placed) continue;
        placed.push_back(id);
        drawFolderFiles(painter, map, id, colours, pixels, boxes);
        for (const quint32 *child = map.ChildrenBegin(id); child != map.ChildrenEnd(id); ++child)
            order.push_back(*child);
    }
    const QColor otherColour = QColor::fromRgb(colours.other);
    for (const MapOther &other : map.Others()) {
        painter.fillRect(other.box.rect(), otherColour);
        painter.fillRect(other.box.rect(), QBrush(otherColour.darker(130), Qt::BDiagPattern));
    }
    QColor frame = QColor::fromRgb(colours.frame);
    frame.setAlpha(160);
    painter.setPen(QPen(frame, 0));
    painter.setBrush(Qt::NoBrush);
    for (quint32 id : placed) {
        const MapBox &box = map.Folder(id).box;
        if (box.w * pixelRatio >= 3 && box.h * pixelRatio >= 3) painter.drawRect(box.rect());
    }
    return image;
}

} // namespace clarivex
