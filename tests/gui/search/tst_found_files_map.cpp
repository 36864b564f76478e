#include "core/search/found_file_model.h"
#include "gui/search/found_files_map.h"
#include "gui/search/path_tree_view.h"
#include "gui/search/treemap_canvas.h"
#include "support/test_main.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <memory>

using namespace clarivex;

namespace {

// Folders and the sizes of their files, below the temporary folder.
const std::vector<std::pair<QByteArray, std::vector<qint64>>> kTree{
    {"a/", {40000, 30000, 20000, 10000, 5000}},
    {"a/b/", {9000, 8000, 7000, 6000, 5000, 4000, 3000, 2000, 1000, 500}},
    {"c/", {60000, 1000, 100}},
    {"c/d/e/", {50000, 25000, 12000, 6000}},
};

} // namespace

class TestFoundFilesMap : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyRowHasItsPlace();
    void clickSelectsTheRow();
    void listSelectionIsOutlined();
    void zoomAndBack();
    void leavingRowsKeepTheOtherPlaces();
    void sortingTheListKeepsThePlaces();
    void saveAsSvgAndPng();
    void treeShowsFolderSizes();

private:
    void waitForMap();
    quint32 folderNamed(const QByteArray &relative) const;
    QPointF centreOfRow(int row) const;

    QTemporaryDir m_dir;
    QByteArray m_root;
    std::unique_ptr<FoundFileModel> m_model;
    std::unique_ptr<QItemSelectionModel> m_selection;
    std::unique_ptr<TFoundFilesMap> m_map;
};

void TestFoundFilesMap::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_root = QFile::encodeName(m_dir.path()) + '/';
    int n = 0;
    for (const auto &[folder, sizes] : kTree) {
        QVERIFY(QDir().mkpath(QFile::decodeName(m_root + folder)));
        for (qint64 size : sizes) {
            const QByteArray path = m_root + folder + "f" + QByteArray::number(n++) + ".tmp";
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            QVERIFY(fd >= 0);
            QCOMPARE(::ftruncate(fd, size), 0);
            ::close(fd);
        }
    }
}

void TestFoundFilesMap::init()
{
    m_model = std::make_unique<FoundFileModel>();
    int n = 0;
    for (const auto &[folder, sizes] : kTree) {
        for (size_t i = 0; i < sizes.size(); ++i, ++n) {
            qint64 size = 0;
            QVERIFY(m_model->AddFile(m_root + folder + "f" + QByteArray::number(n) + ".tmp", size,
                                     n % 3));
        }
    }
    m_model->FlushPending();
    m_selection = std::make_unique<QItemSelectionModel>(m_model.get());
    m_map = std::make_unique<TFoundFilesMap>(m_model.get());
    m_map->SetSelectionModel(m_selection.get());
    m_map->SetRowColour([](const FoundFileRow &row) { return mapKeyColour(row.group); });
    m_map->resize(600, 460);
    m_map->show();
    waitForMap();
}

void TestFoundFilesMap::cleanup()
{
    m_map.reset();
    m_selection.reset();
    m_model.reset();
}

void TestFoundFilesMap::waitForMap()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_map->IsSettled(), 10000);
}

quint32 TestFoundFilesMap::folderNamed(const QByteArray &relative) const
{
    const Treemap &map = *m_map->Map();
    for (quint32 f = 0; f < map.Folders().size(); ++f) {
        if (map.PathOf(f) == m_root + relative) return f;
    }
    return Treemap::kNoRow;
}

QPointF TestFoundFilesMap::centreOfRow(int row) const
{
    const Treemap &map = *m_map->Map();
    const qint64 cell = map.CellOfRow(quint32(row));
    return cell < 0 ? QPointF(-1, -1) : map.CellBox(quint32(cell)).rect().center();
}

void TestFoundFilesMap::everyRowHasItsPlace()
{
    const Treemap &map = *m_map->Map();
    QCOMPARE(int(map.Cells().size()), m_model->RowCount());
    QCOMPARE(map.Bounds().size(), m_map->CanvasRect().size());
    QVERIFY(!m_map->Picture().isNull());
    QCOMPARE(map.Folder(Treemap::kRoot).files, quint64(m_model->RowCount()));
    // The file under a point says what it is: path and exact size.
    const QString tip = m_map->ToolTipAt(centreOfRow(0));
    QVERIFY2(tip.startsWith(QFile::decodeName(m_model->FilePath(0))), qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral("(40,000 bytes)")), qPrintable(tip));
}

void TestFoundFilesMap::clickSelectsTheRow()
{
    QSignalSpy clicked(m_map.get(), &TFoundFilesMap::rowClicked);
    for (int row : {0, 7, 20}) {
        m_map->ClickAt(centreOfRow(row));
        QCOMPARE(m_selection->currentIndex().row(), row);
        QCOMPARE(m_selection->selectedRows().size(), 1);
        QCOMPARE(clicked.takeLast().at(0).toInt(), row);
    }
    // A click outside every file selects nothing new.
    m_map->ClickAt(QPointF(-5, -5));
    QCOMPARE(clicked.size(), 0);
}

void TestFoundFilesMap::listSelectionIsOutlined()
{
    auto *canvas = m_map->findChild<TreemapCanvas *>();
    QVERIFY(canvas);
    m_selection->select(m_model->index(3, 0),
                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_selection->select(m_model->index(12, 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    std::vector<quint32> expected{quint32(m_map->Map()->CellOfRow(3)),
                                  quint32(m_map->Map()->CellOfRow(12))};
    std::vector<quint32> outlined = canvas->SelectedCells();
    std::sort(expected.begin(), expected.end());
    std::sort(outlined.begin(), outlined.end());
    QCOMPARE(outlined, expected);
    m_selection->clearSelection();
    QVERIFY(canvas->SelectedCells().empty());
}

void TestFoundFilesMap::zoomAndBack()
{
    const quint32 c = folderNamed("c/");
    const quint32 d = folderNamed("c/d/");
    QVERIFY(c != Treemap::kNoRow && d != Treemap::kNoRow);
    const int inE = m_model->RowCount() - 1; // a file of c/d/e/
    QVERIFY(!m_map->CanGoBack());

    m_map->DoubleClickAt(centreOfRow(inE));
    waitForMap();
    QCOMPARE(m_map->Map()->View(), c);
    // The whole map now shows c: its files fill the bounds.
    QCOMPARE(m_map->Map()->Folder(c).box.rect(), m_map->CanvasRect());
    QVERIFY(m_map->CanGoBack());
    const QLabel *crumbs = m_map->findChild<QLabel *>(QStringLiteral("MapCrumbs"));
    QVERIFY(crumbs->text().endsWith(QStringLiteral("<b>c</b>")));

    m_map->DoubleClickAt(centreOfRow(inE));
    waitForMap();
    QCOMPARE(m_map->Map()->View(), d);
    // d holds only e: the breadcrumb ends at e.
    QVERIFY(crumbs->text().endsWith(QStringLiteral("<b>e</b>")));

    m_map->Back();
    waitForMap();
    QCOMPARE(m_map->Map()->View(), c);
    m_map->Back();
    waitForMap();
    QCOMPARE(m_map->Map()->View(), Treemap::kRoot);
    QVERIFY(!m_map->CanGoBack());
    QCOMPARE(m_map->Map()->Folder(Treemap::kRoot).box.rect(), m_map->CanvasRect());
}

void TestFoundFilesMap::leavingRowsKeepTheOtherPlaces()
{
    std::map<QByteArray, QRectF> before;
    for (int row = 0; row < m_model->RowCount(); ++row)
        before[m_model->FilePath(row)] =
            m_map->Map()->CellBox(quint32(m_map->Map()->CellOfRow(quint32(row)))).rect();
    const QByteArray gonePath = m_model->FilePath(2);
    const qint64 goneSize = m_model->Row(2).size;
    const qint64 bytesBefore = m_map->Map()->Folder(Treemap::kRoot).bytes;
    m_model->RemoveRows({2, 9});
    // The gap is drawn on the worker: the map is back when its totals are new.
    QTRY_VERIFY_WITH_TIMEOUT(m_map->IsSettled() && m_map->Map()->Folder(Treemap::kRoot).files ==
                                                       quint64(m_model->RowCount()),
                             10000);
    const Treemap &map = *m_map->Map();
    QVERIFY(map.Folder(Treemap::kRoot).bytes < bytesBefore - goneSize + 1);
    int live = 0;
    for (quint32 c = 0; c < map.Cells().size(); ++c) {
        const MapCell &cell = map.Cells()[c];
        if (cell.row == Treemap::kNoRow) continue;
        ++live;
        const QByteArray path = m_model->FilePath(int(cell.row));
        QVERIFY(path != gonePath);
        QCOMPARE(map.CellBox(c).rect(), before[path]); // no new layout
    }
    QCOMPARE(live, m_model->RowCount());
}

void TestFoundFilesMap::sortingTheListKeepsThePlaces()
{
    std::vector<QByteArray> pathOfCell;
    for (const MapCell &cell : m_map->Map()->Cells())
        pathOfCell.push_back(m_model->FilePath(int(cell.row)));
    m_model->SortRows(colSize, true);
    QVERIFY(!m_map->IsBusy()); // a new order needs no new layout
    const std::vector<MapCell> &cells = m_map->Map()->Cells();
    for (size_t c = 0; c < cells.size(); ++c)
        QCOMPARE(m_model->FilePath(int(cells[c].row)), pathOfCell[c]);
    // Clicks still select the file under the pointer.
    m_map->ClickAt(m_map->Map()->CellBox(0).rect().center());
    QCOMPARE(m_model->FilePath(m_selection->currentIndex().row()), pathOfCell[0]);
}

void TestFoundFilesMap::saveAsSvgAndPng()
{
    const QString svg = m_dir.filePath(QStringLiteral("map.svg"));
    QVERIFY(m_map->SaveAs(svg));
    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QCOMPARE(text.count("<rect class=\"file\""), qsizetype(m_model->RowCount()));
    QVERIFY(text.contains(m_model->FilePath(0) + ", "));
    const QString png = m_dir.filePath(QStringLiteral("map.png"));
    QVERIFY(m_map->SaveAs(png));
    QImage image(png);
    QCOMPARE(image.size(), m_map->CanvasRect().size().toSize());
    QVERIFY(!m_map->SaveAs(m_dir.filePath(QStringLiteral("no/such/folder/map.svg"))));
}

void TestFoundFilesMap::treeShowsFolderSizes()
{
    TPathTreeView view;
    view.SetVolumeRoots({"/"});
    view.SetFoundFiles(m_model.get());
    for (int row = 0; row < m_model->RowCount(); ++row)
        view.Paths << m_model->FilePath(row) + '/';
    view.Rebuild();
    PathTreeModel &tree = *view.Model();
    const auto found = [&](const QByteArray &relative, int column) {
        return tree.data(tree.IndexOf(tree.Locate(m_root + relative), column), Qt::DisplayRole)
            .toString();
    };
    QCOMPARE(found("c/", 1), QStringLiteral("7"));
    QCOMPARE(tree.Tree().NodeAt(tree.Locate(m_root + "c/")).foundBytes,
             qint64(60000 + 1000 + 100 + 50000 + 25000 + 12000 + 6000));
    QCOMPARE(found("a/", 1), QStringLiteral("15"));
    QCOMPARE(found("a/b/f5.tmp", 1), QStringLiteral("1"));
    QCOMPARE(tree.Tree().NodeAt(tree.Locate(m_root + "a/b/f5.tmp")).foundBytes, qint64(9000));

    // By name a comes first; by size c (154,100 bytes) before a (150,500).
    const quint32 top = tree.Locate(m_root);
    const auto firstChild = [&] {
        return tree.Tree().NodeAt(tree.Tree().NodeAt(top).children.front()).text;
    };
    QCOMPARE(firstChild(), QStringLiteral("a"));
    view.SortBySize(true);
    QCOMPARE(firstChild(), QStringLiteral("c"));
    QCOMPARE(tree.IndexOf(tree.Locate(m_root + "c/")).row(), 0);

    // Rows that leave the list leave the counts.
    m_model->RemoveRows({15, 16});
    QTRY_COMPARE(found("c/", 1), QStringLiteral("5"));
    QCOMPARE(firstChild(), QStringLiteral("a")); // a is the larger now
}

CLARIVEX_TEST_MAIN(TestFoundFilesMap)
#include "tst_found_files_map.moc"
