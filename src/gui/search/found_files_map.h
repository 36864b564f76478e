#pragma once

// The "Map" tab: a treemap of the found files, nested by folder, each file's
// area its size and its colour its row's. The layout and the picture are made
// on a worker thread and handed back by a queued signal; painting only copies
// the picture and draws the outlines. Rows that leave the list leave a gap;
// the rest keeps its place until the next layout (a resize, a zoom, new rows).

#include "core/search/treemap_layout.h"
#include "core/search/treemap_svg.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>

class QItemSelectionModel;
class QLabel;
class QThread;
class QTimer;
class QToolButton;

namespace clarivex {

class FoundFileModel;
struct FoundFileRow;
class RowKeys;
class TreemapCanvas;
struct TreemapJob;

class TFoundFilesMap : public QWidget
{
    Q_OBJECT
public:
    explicit TFoundFilesMap(FoundFileModel *model, QWidget *parent = nullptr);
    ~TFoundFilesMap() override;

    // The colour of a row's file (the list's row colour, or the map's own).
    // Rows of one group (FoundFileRow::group) share a colour: it is asked for
    // once per group and refresh.
    using RowColour = std::function<QRgb(const FoundFileRow &)>;
    void SetRowColour(RowColour colour);
    // The line that says where a row came from (its group or set), if any.
    void SetRowOrigin(std::function<QString(int row)> origin);
    // The list's selection: its selected rows are outlined on the map.
    void SetSelectionModel(QItemSelectionModel *selection);

    // Lays the map out again now (otherwise when it is shown after a change).
    void Refresh();
    [[nodiscard]] bool IsBusy() const;
    // A map is there, drawn for the canvas as it is, and no new drawing is
    // under way or waiting.
    [[nodiscard]] bool IsSettled() const;
    // The map as last laid out; null while the worker holds it.
    [[nodiscard]] const Treemap *Map() const { return m_map.get(); }
    [[nodiscard]] QImage Picture() const { return m_picture; }
    [[nodiscard]] QRectF CanvasRect() const;

    // Zooms into a folder of the map; Back goes to the one before.
    void ZoomTo(quint32 folder);
    void Back();
    [[nodiscard]] bool CanGoBack() const { return !m_zoomStack.empty(); }
    // The file (cell) under a point of the canvas: selects its row.
    void ClickAt(QPointF point);
    void DoubleClickAt(QPointF point);
    [[nodiscard]] QString ToolTipAt(QPointF point) const;
    // PNG, or SVG when the name ends in ".svg". False when it could not be written.
    [[nodiscard]] bool SaveAs(const QString &fileName) const;
    void SaveMapAs(); // asks for the name
    // The colour of a file with no colour of its own, and of a duplicate set.
    static constexpr QRgb kDefaultColour = kMapDefaultColour;
    [[nodiscard]] static QRgb SetColour(int set);
    // Smallest area a folder keeps of its own, in square pixels.
    static constexpr double kMinFolderArea = 64.0;

signals:
    // A file of the map was clicked.
    void rowClicked(int row);
    // A layout (or a new picture) arrived from the worker.
    void mapReady();
    // Between this thread and the worker (queued both ways).
    void layoutRequested(std::shared_ptr<clarivex::TreemapJob> job);
    void layoutFinished(std::shared_ptr<clarivex::TreemapJob> job);

protected:
    void showEvent(QShowEvent *event) override;

private:
    friend class TreemapCanvas;
    void startJob(bool rebuild);
    void jobDone(std::shared_ptr<TreemapJob> job);
    void modelChanged();
    void rowsLeaving(int first, int last);
    void applyLeaving();
    void beforeReorder();
    void afterReorder();
    void updateCrumbs();
    void scheduleRefresh();
    [[nodiscard]] std::vector<QRgb> rowColours() const;
    [[nodiscard]] QString folderTip(quint32 folder) const;

    FoundFileModel *m_model;
    TreemapCanvas *m_canvas = nullptr;
    QToolButton *m_back = nullptr;
    QLabel *m_crumbs = nullptr;
    QLabel *m_summary = nullptr;
    QThread *m_thread = nullptr;
    QObject *m_worker = nullptr;
    std::unique_ptr<Treemap> m_map;
    std::unique_ptr<RowKeys> m_keys;
    QImage m_picture;
    RowColour m_colour;
    std::function<QString(int)> m_origin;
    QItemSelectionModel *m_selection = nullptr;
    std::vector<quint32> m_zoomStack;
    std::vector<std::pair<int, int>> m_leaving; // removed row ranges not yet applied
    quint32 m_view = Treemap::kRoot;
    bool m_busy = false;
    bool m_dirty = true;           // rows came or the list was replaced: build again
    bool m_staleWhileBusy = false; // rows changed while the worker held the map
    bool m_againWhenDone = false;
    bool m_leavingQueued = false;
    QTimer *m_refreshTimer = nullptr;
};

} // namespace clarivex
