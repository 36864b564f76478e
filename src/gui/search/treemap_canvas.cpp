#include "gui/search/treemap_canvas.h"

#include "gui/search/found_files_map.h"

#include "core/search/found_file_model.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPainter>
#include <QSet>
#include <QToolTip>

namespace clarivex {

namespace {
constexpr int kMaxLabels = 400;
constexpr int kMaxOutlined = 1000;
} // namespace

TreemapCanvas::TreemapCanvas(TFoundFilesMap *map) : QWidget(map), m_map(map)
{
    setObjectName(QStringLiteral("MapCanvas"));
    setMinimumSize(64, 48);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TreemapCanvas::mapChanged()
{
    m_hoverCell = -1;
    selectionChanged();
}

void TreemapCanvas::selectionChanged()
{
    m_selected.clear();
    const Treemap *map = m_map->Map();
    if (map && m_map->m_selection) {
        QSet<quint32> rows;
        for (const QModelIndex &index : m_map->m_selection->selectedRows()) {
            rows.insert(quint32(index.row()));
            if (rows.size() >= kMaxOutlined) break;
        }
        const std::vector<MapCell> &cells = map->Cells();
        for (size_t c = 0; c < cells.size() && !rows.isEmpty(); ++c) {
            if (rows.contains(cells[c].row)) m_selected.push_back(quint32(c));
        }
    }
    // Their boxes, one folder's files worked out at a time.
    m_selectedBoxes.assign(m_selected.size(), MapBox{});
    std::vector<MapBox> boxes;
    quint32 boxesOf = Treemap::kNoRow;
    for (size_t i = 0; i < m_selected.size(); ++i) {
        const quint32 folder = map->FolderOfCell(m_selected[i]);
        if (folder != boxesOf) {
            map->CellBoxes(folder, boxes);
            boxesOf = folder;
        }
        const size_t at = m_selected[i] - map->Folder(folder).cellBegin;
        if (at < boxes.size()) m_selectedBoxes[i] = boxes[at];
    }
    m_hoverBox = m_hoverCell >= 0 && map ? map->CellBox(quint32(m_hoverCell)) : MapBox{};
    update();
}

void TreemapCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QImage &picture = m_map->m_picture;
    if (picture.isNull()) {
        painter.fillRect(rect(), palette().color(QPalette::Base));
        painter.setPen(palette().color(QPalette::PlaceholderText));
        const QString text = m_map->IsBusy() ? QStringLiteral("Drawing the map...")
                             : m_map->m_model->RowCount() == 0 ? QStringLiteral("No files found.")
                                                               : QString();
        painter.drawText(rect(), Qt::AlignCenter, text);
        return;
    }
    const Treemap *map = m_map->Map();
    // Outlines only where the layout fits the surface as it is; else the
    // picture stretches until the next layout.
    if (!map || map->Bounds().size() != QSizeF(size())) {
        painter.drawImage(QRectF(rect()), picture);
        return;
    }
    painter.drawImage(QPointF(0, 0), picture);
    drawOutlines(painter);
}

void TreemapCanvas::drawLabels(QImage &picture) const
{
    if (!m_map->Map() || picture.isNull()) return;
    const Treemap &map = *m_map->Map();
    QPainter painter(&picture);
    painter.setFont(font());
    const QFontMetrics metrics = painter.fontMetrics();
    const int lineHeight = metrics.height();
    int labels = 0;
    std::vector<quint32> order{map.View()};
    QColor backdrop = palette().color(QPalette::Base);
    backdrop.setAlpha(190);
    painter.setPen(palette().color(QPalette::Text));
    // Folders nested at one corner would write over each other: the outer
    // name stays, an inner one that would cover it is left out.
    std::vector<QRectF> drawn;
    const auto label = [&](const MapBox &box, const QString &text) {
        if (box.w < 48 || box.h < lineHeight + 4) return;
        const QString shown = metrics.elidedText(text, Qt::ElideMiddle, int(box.w) - 12);
        const QRectF area(box.x + 1, box.y + 1,
                          std::min<qreal>(metrics.horizontalAdvance(shown) + 8, box.w - 2),
                          lineHeight);
        for (const QRectF &other : drawn) {
            if (other.intersects(area)) return;
        }
        drawn.push_back(area);
        painter.fillRect(area, backdrop);
        painter.drawText(area.adjusted(3, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, shown);
        ++labels;
    };
    while (!order.empty() && labels < kMaxLabels) {
        const quint32 id = order.back();
        order.pop_back();
        const MapFolder &folder = map.Folder(id);
        if (!folder.placed || folder.box.w < 48 || folder.box.h < lineHeight + 4) continue;
        // A folder holding only one folder shares its area: the inner one is named.
        if (map.FirstBranch(id) == id && id != map.FirstBranch(map.View()))
            label(folder.box, QFile::decodeName(map.NameOf(id)));
        for (const quint32 *child = map.ChildrenBegin(id); child != map.ChildrenEnd(id); ++child)
            order.push_back(*child);
    }
    for (const MapOther &other : map.Others())
        label(other.box, QStringLiteral("other (%1)").arg(other.folders));
}

void TreemapCanvas::drawOutlines(QPainter &painter) const
{
    const Treemap &map = *m_map->Map();
    const auto outline = [&](quint32 cell, const MapBox &at, const QColor &colour) {
        if (cell >= map.Cells().size() || map.Cells()[cell].row == Treemap::kNoRow) return;
        QRectF box = at.rect();
        // A file too small to see still gets a mark of a few pixels.
        if (box.width() < 5 || box.height() < 5)
            box = QRectF(box.center() - QPointF(3, 3), QSizeF(6, 6));
        painter.setPen(QPen(Qt::white, 3));
        painter.drawRect(box.adjusted(1, 1, -1, -1));
        painter.setPen(QPen(colour, 1));
        painter.drawRect(box.adjusted(1, 1, -1, -1));
    };
    painter.setBrush(Qt::NoBrush);
    for (size_t i = 0; i < m_selected.size(); ++i)
        outline(m_selected[i], m_selectedBoxes[i],
                palette().color(QPalette::Highlight).darker(140));
    if (m_hoverCell >= 0) outline(quint32(m_hoverCell), m_hoverBox, Qt::black);
}

void TreemapCanvas::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_map->scheduleRefresh();
}

void TreemapCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) m_map->ClickAt(event->position());
    QWidget::mouseReleaseEvent(event);
}

void TreemapCanvas::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) m_map->DoubleClickAt(event->position());
}

void TreemapCanvas::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *save = menu.addAction(QStringLiteral("Save Map As\u2026"));
    save->setEnabled(m_map->Map() != nullptr);
    connect(save, &QAction::triggered, m_map, &TFoundFilesMap::SaveMapAs);
    QAction *back = menu.addAction(QStringLiteral("Back"));
    back->setEnabled(m_map->CanGoBack());
    connect(back, &QAction::triggered, m_map, &TFoundFilesMap::Back);
    menu.exec(event->globalPos());
}

bool TreemapCanvas::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = m_map->ToolTipAt(help->pos());
        const Treemap *map = m_map->Map();
        const qint64 hover = [&]() -> qint64 {
            if (!map) return -1;
            const Treemap::Hit hit = map->HitTest(help->pos());
            return hit.kind == Treemap::Hit::Cell ? qint64(hit.index) : -1;
        }();
        if (hover != m_hoverCell) {
            m_hoverCell = hover;
            m_hoverBox = hover >= 0 ? map->CellBox(quint32(hover)) : MapBox{};
            update();
        }
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    if (event->type() == QEvent::Leave && m_hoverCell >= 0) {
        m_hoverCell = -1;
        update();
    }
    return QWidget::event(event);
}

} // namespace clarivex
