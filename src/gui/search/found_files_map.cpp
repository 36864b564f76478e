#include "gui/search/found_files_map.h"

#include "gui/search/treemap_canvas.h"
#include "gui/search/treemap_render.h"
#include "gui/toolkit/notice_service.h"

#include "core/search/found_file_model.h"
#include "core/search/treemap_rows.h"
#include "core/search/treemap_svg.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSaveFile>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <optional>

namespace clarivex {

// One trip to the worker and back: the map (built first from `source` when
// given), where to lay it out, and the picture drawn of it.
struct TreemapJob
{
    std::unique_ptr<Treemap> map;
    std::optional<Treemap::Source> source;
    bool layout = true; // false: only a new picture of the same layout
    quint32 view = Treemap::kRoot;
    QRectF bounds;
    double minArea = 0;
    QSize size;
    qreal pixelRatio = 1;
    TreemapColours colours;
    QImage picture;
};

namespace {
constexpr int kRefreshDelayMs = 300;
} // namespace

TFoundFilesMap::TFoundFilesMap(FoundFileModel *model, QWidget *parent)
    : QWidget(parent), m_model(model), m_keys(std::make_unique<RowKeys>())
{
    qRegisterMetaType<std::shared_ptr<clarivex::TreemapJob>>();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(2, 2, 4, 2);
    m_back = new QToolButton(this);
    m_back->setObjectName(QStringLiteral("MapBack"));
    m_back->setText(QStringLiteral("Back"));
    m_back->setEnabled(false);
    connect(m_back, &QToolButton::clicked, this, &TFoundFilesMap::Back);
    m_crumbs = new QLabel(this);
    m_crumbs->setObjectName(QStringLiteral("MapCrumbs"));
    m_crumbs->setTextFormat(Qt::RichText);
    connect(m_crumbs, &QLabel::linkActivated, this,
            [this](const QString &link) { ZoomTo(link.toUInt()); });
    m_summary = new QLabel(this);
    m_summary->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bar->addWidget(m_back);
    bar->addWidget(m_crumbs, 1);
    bar->addWidget(m_summary);
    layout->addLayout(bar);
    m_canvas = new TreemapCanvas(this);
    layout->addWidget(m_canvas, 1);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(kRefreshDelayMs);
    connect(m_refreshTimer, &QTimer::timeout, this, &TFoundFilesMap::Refresh);

    // The worker thread: jobs go there and come back by queued signals.
    m_thread = new QThread(this);
    m_worker = new QObject;
    m_worker->moveToThread(m_thread);
    connect(
        this, &TFoundFilesMap::layoutRequested, m_worker,
        [this](std::shared_ptr<TreemapJob> job) {
            if (job->source) {
                job->map->Build(std::move(*job->source));
                job->source.reset();
            }
            if (job->layout) job->map->Layout(job->view, job->bounds, job->minArea);
            job->picture = renderTreemap(*job->map, job->size, job->pixelRatio, job->colours);
            job->colours.ofRow = {};
            emit layoutFinished(std::move(job));
        },
        Qt::QueuedConnection);
    connect(this, &TFoundFilesMap::layoutFinished, this, &TFoundFilesMap::jobDone,
            Qt::QueuedConnection);
    m_thread->start();

    connect(m_model, &QAbstractItemModel::rowsInserted, this, &TFoundFilesMap::modelChanged);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) { rowsLeaving(first, last); });
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this,
            &TFoundFilesMap::beforeReorder);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TFoundFilesMap::afterReorder);
    connect(m_model, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &TFoundFilesMap::beforeReorder);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &TFoundFilesMap::afterReorder);
    updateCrumbs();
}

QRgb TFoundFilesMap::SetColour(int set)
{
    return mapKeyColour(set);
}

TFoundFilesMap::~TFoundFilesMap()
{
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
}

void TFoundFilesMap::SetRowColour(RowColour colour)
{
    m_colour = std::move(colour);
}

void TFoundFilesMap::SetRowOrigin(std::function<QString(int)> origin)
{
    m_origin = std::move(origin);
}

void TFoundFilesMap::SetSelectionModel(QItemSelectionModel *selection)
{
    if (m_selection) disconnect(m_selection, nullptr, this, nullptr);
    m_selection = selection;
    if (m_selection)
        connect(m_selection, &QItemSelectionModel::selectionChanged, m_canvas,
                &TreemapCanvas::selectionChanged);
}

bool TFoundFilesMap::IsBusy() const
{
    return m_busy;
}

bool TFoundFilesMap::IsSettled() const
{
    return m_map && !m_busy && !m_refreshTimer->isActive() && !m_leavingQueued &&
           m_map->Bounds().size() == QSizeF(m_canvas->size());
}

QRectF TFoundFilesMap::CanvasRect() const
{
    return QRectF(QPointF(0, 0), QSizeF(m_canvas->size()));
}

void TFoundFilesMap::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_dirty || !m_map) scheduleRefresh();
}

void TFoundFilesMap::scheduleRefresh()
{
    if (isVisible() && !m_refreshTimer->isActive()) m_refreshTimer->start();
}

void TFoundFilesMap::Refresh()
{
    m_refreshTimer->stop();
    startJob(m_dirty || !m_map);
}

std::vector<QRgb> TFoundFilesMap::rowColours() const
{
    std::vector<QRgb> colours(size_t(m_model->RowCount()), kDefaultColour);
    if (!m_colour) return colours;
    // One call per group: the rows of a group share their colour.
    std::vector<QRgb> ofGroup;
    std::vector<bool> known;
    for (int r = 0; r < m_model->RowCount(); ++r) {
        const FoundFileRow &row = m_model->Row(r);
        if (row.separator) continue;
        const auto slot = size_t(std::max(-1, row.group) + 1);
        if (slot >= known.size()) {
            known.resize(slot + 1, false);
            ofGroup.resize(slot + 1, kDefaultColour);
        }
        if (!known[slot]) {
            ofGroup[slot] = m_colour(row);
            known[slot] = true;
        }
        colours[size_t(r)] = ofGroup[slot];
    }
    return colours;
}

void TFoundFilesMap::startJob(bool rebuild)
{
    applyLeaving();
    if (m_busy) {
        m_staleWhileBusy = m_staleWhileBusy || rebuild;
        m_againWhenDone = true;
        return;
    }
    const QSize size = m_canvas->size();
    if (size.isEmpty()) return;
    auto job = std::make_shared<TreemapJob>();
    if (rebuild || !m_map) {
        job->source = TreemapSourceOf(*m_model);
        job->map = std::make_unique<Treemap>();
        m_view = Treemap::kRoot;
        m_zoomStack.clear();
        m_dirty = false;
    } else {
        job->map = std::move(m_map);
        job->layout = job->map->Bounds().size() != QSizeF(size) || job->map->View() != m_view;
    }
    job->view = m_view;
    job->bounds = QRectF(QPointF(0, 0), QSizeF(size));
    job->minArea = kMinFolderArea;
    job->size = size;
    job->pixelRatio = m_canvas->devicePixelRatioF();
    job->colours.ofRow = rowColours();
    job->colours.background = palette().color(QPalette::Base).rgb();
    m_busy = true;
    m_canvas->update();
    emit layoutRequested(std::move(job));
}

void TFoundFilesMap::jobDone(std::shared_ptr<TreemapJob> job)
{
    m_busy = false;
    if (m_staleWhileBusy) {
        // The rows changed under the worker: its row numbers mean nothing now.
        m_staleWhileBusy = false;
        m_againWhenDone = false;
        m_map.reset();
        m_dirty = true;
        Refresh();
        return;
    }
    m_map = std::move(job->map);
    m_picture = std::move(job->picture);
    m_canvas->drawLabels(m_picture);
    m_canvas->mapChanged();
    updateCrumbs();
    emit mapReady();
    if (m_againWhenDone) {
        m_againWhenDone = false;
        startJob(false);
    }
}

void TFoundFilesMap::modelChanged()
{
    m_dirty = true;
    if (m_busy) m_staleWhileBusy = true;
    scheduleRefresh();
}

void TFoundFilesMap::rowsLeaving(int first, int last)
{
    if (m_busy) {
        m_staleWhileBusy = true;
        return;
    }
    if (!m_map) return;
    m_leaving.emplace_back(first, last);
    if (!m_leavingQueued) {
        m_leavingQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_leavingQueued = false;
            applyLeaving();
        });
    }
}

void TFoundFilesMap::applyLeaving()
{
    if (m_leaving.empty() || !m_map) {
        m_leaving.clear();
        return;
    }
    // A removal runs from the last rows up, so every range is in the numbers
    // the rows had before; otherwise the ranges are applied one by one.
    const bool fromTheEnd =
        std::is_sorted(m_leaving.begin(), m_leaving.end(),
                       [](const std::pair<int, int> &a, const std::pair<int, int> &b) {
                           return a.first > b.first;
                       });
    qsizetype gone = 0;
    if (fromTheEnd) {
        std::vector<std::pair<int, int>> ranges(m_leaving.rbegin(), m_leaving.rend());
        std::vector<qint64> below(ranges.size() + 1, 0); // rows removed before range i
        for (size_t i = 0; i < ranges.size(); ++i)
            below[i + 1] = below[i] + (ranges[i].second - ranges[i].first + 1);
        gone = m_map->RemapRows([&](quint32 row) {
            const auto after = std::upper_bound(
                ranges.begin(), ranges.end(), int(row),
                [](int r, const std::pair<int, int> &range) { return r < range.first; });
            if (after != ranges.begin() && int(row) <= (after - 1)->second) return Treemap::kNoRow;
            return quint32(qint64(row) - below[size_t(after - ranges.begin())]);
        });
    } else {
        for (const auto &[first, last] : m_leaving) {
            gone += m_map->RemapRows([first, last](quint32 row) {
                if (int(row) < first) return row;
                if (int(row) <= last) return Treemap::kNoRow;
                return quint32(row - quint32(last - first + 1));
            });
        }
    }
    m_leaving.clear();
    if (gone == 0) return;
    m_map->Recount([this](quint32 row) { return m_model->Row(int(row)).size; });
    m_canvas->mapChanged();
    updateCrumbs();
    startJob(false); // a new picture of the same places
}

void TFoundFilesMap::beforeReorder()
{
    applyLeaving();
    if (m_busy) {
        m_staleWhileBusy = true;
        return;
    }
    if (m_map) m_keys->Capture(*m_model);
}

void TFoundFilesMap::afterReorder()
{
    if (!m_map || m_busy) return;
    if (m_model->RowCount() == 0) {
        m_keys->Clear();
        m_map.reset();
        m_picture = {};
        m_dirty = true;
        m_zoomStack.clear();
        m_view = Treemap::kRoot;
        m_canvas->mapChanged();
        updateCrumbs();
        return;
    }
    const RowKeys::Mapping mapping = m_keys->Match(*m_model);
    m_keys->Clear();
    const qsizetype gone = m_map->RemapRows([&mapping](quint32 row) {
        return row < mapping.newRow.size() ? mapping.newRow[row] : Treemap::kNoRow;
    });
    if (mapping.added > 0) {
        m_dirty = true;
        scheduleRefresh();
    } else if (gone > 0) {
        m_map->Recount([this](quint32 row) { return m_model->Row(int(row)).size; });
        startJob(false);
    }
    m_canvas->mapChanged();
    updateCrumbs();
}

void TFoundFilesMap::ZoomTo(quint32 folder)
{
    if (!m_map || folder >= m_map->Folders().size() || folder == m_view) return;
    m_zoomStack.push_back(m_view);
    m_view = folder;
    startJob(false);
    updateCrumbs();
}

void TFoundFilesMap::Back()
{
    if (m_zoomStack.empty() || !m_map) return;
    m_view = m_zoomStack.back();
    m_zoomStack.pop_back();
    startJob(false);
    updateCrumbs();
}

void TFoundFilesMap::ClickAt(QPointF point)
{
    applyLeaving();
    if (!m_map || m_busy) return;
    const Treemap::Hit hit = m_map->HitTest(point);
    if (hit.kind != Treemap::Hit::Cell) return;
    const int row = int(m_map->Cells()[hit.index].row);
    if (m_selection) {
        const QModelIndex index = m_model->index(row, 0);
        m_selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                QItemSelectionModel::Rows);
    }
    emit rowClicked(row);
}

void TFoundFilesMap::DoubleClickAt(QPointF point)
{
    if (!m_map || m_busy) return;
    const Treemap::Hit hit = m_map->HitTest(point);
    if (hit.kind == Treemap::Hit::None) return;
    // The folder one level below what is shown, on the way to the point.
    const quint32 top = m_map->FirstBranch(m_view);
    quint32 folder = hit.folder;
    while (folder != Treemap::kRoot && m_map->Folder(folder).parent != top)
        folder = m_map->Folder(folder).parent;
    if (folder != Treemap::kRoot && m_map->Folder(folder).parent == top) ZoomTo(folder);
}

QString TFoundFilesMap::folderTip(quint32 folder) const
{
    const MapFolder &node = m_map->Folder(folder);
    return QFile::decodeName(m_map->PathOf(folder)) +
           QStringLiteral("\n%1 files, %2")
               .arg(QLocale().toString(qint64(node.files)), mapSizeText(node.bytes));
}

QString TFoundFilesMap::ToolTipAt(QPointF point) const
{
    if (!m_map || m_busy) return {};
    const Treemap::Hit hit = m_map->HitTest(point);
    switch (hit.kind) {
    case Treemap::Hit::Cell: {
        const int row = int(m_map->Cells()[hit.index].row);
        if (row >= m_model->RowCount()) return {};
        QString tip = QFile::decodeName(m_model->FilePath(row)) + QLatin1Char('\n') +
                      mapSizeText(m_model->Row(row).size);
        const QString origin = m_origin ? m_origin(row) : QString();
        if (!origin.isEmpty()) tip += QLatin1Char('\n') + origin;
        return tip;
    }
    case Treemap::Hit::Other: {
        const MapOther &other = m_map->Others()[hit.index];
        return QStringLiteral("other: ") + mapOtherText(other) + QLatin1Char('\n') +
               QStringLiteral("in ") + QFile::decodeName(m_map->PathOf(other.parent));
    }
    case Treemap::Hit::Folder:
        return folderTip(hit.folder);
    case Treemap::Hit::None:
        break;
    }
    return {};
}

void TFoundFilesMap::updateCrumbs()
{
    m_back->setEnabled(CanGoBack());
    if (!m_map || m_map->IsEmpty()) {
        m_crumbs->clear();
        m_summary->clear();
        return;
    }
    std::vector<quint32> chain;
    for (quint32 f = m_map->FirstBranch(m_view);; f = m_map->Folder(f).parent) {
        chain.push_back(f);
        if (f == Treemap::kRoot) break;
    }
    QStringList parts;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const QString name = QFile::decodeName(m_map->NameOf(*it)).toHtmlEscaped();
        parts << (it + 1 == chain.rend()
                      ? QStringLiteral("<b>%1</b>").arg(name)
                      : QStringLiteral("<a href=\"%1\">%2</a>").arg(*it).arg(name));
    }
    m_crumbs->setText(parts.join(QStringLiteral(" \u203a ")));
    const MapFolder &shown = m_map->Folder(m_view);
    m_summary->setText(QStringLiteral("%1 files, %2")
                           .arg(QLocale().toString(qint64(shown.files)),
                                QLocale().formattedDataSize(shown.bytes)));
}

bool TFoundFilesMap::SaveAs(const QString &fileName) const
{
    if (!fileName.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive))
        return m_canvas->grab().save(fileName, "PNG");
    if (!m_map) return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const std::vector<QRgb> colours = rowColours();
    TreemapRows rows;
    rows.path = [this](quint32 row) { return m_model->FilePath(int(row)); };
    rows.size = [this](quint32 row) { return m_model->Row(int(row)).size; };
    rows.colour = [&colours](quint32 row) {
        return row < colours.size() ? colours[row] : TFoundFilesMap::kDefaultColour;
    };
    return writeTreemapSvg(file, *m_map, rows) && file.commit();
}

void TFoundFilesMap::SaveMapAs()
{
    ui::FileDialogRequest request;
    request.caption = QStringLiteral("Save Map As");
    request.directory = QDir::homePath() + QStringLiteral("/map.png");
    request.filter = QStringLiteral("PNG Images (*.png);;SVG Images (*.svg)");
    request.defaultSuffix = QStringLiteral("png");
    request.mustExist = false;
    const QString fileName = ui::notices().saveFileName(this, request);
    if (fileName.isEmpty()) return;
    if (!SaveAs(fileName))
        ui::notices().information(this, QStringLiteral("Clarivex 2000"),
                                  QStringLiteral("The map could not be saved as '%1'.")
                                      .arg(QDir::toNativeSeparators(fileName)),
                                  ui::NoticeIcon::Error);
}

} // namespace clarivex
