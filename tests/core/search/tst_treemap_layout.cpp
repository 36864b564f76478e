#include "core/search/treemap_layout.h"
#include "core/search/treemap_svg.h"
#include "support/test_main.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QXmlStreamReader>

#include <map>

using namespace clarivex;

namespace {

struct Fixture
{
    Treemap::Source source;
    std::vector<qint64> sizeOfRow;
    std::vector<QByteArray> pathOfRow;
};

// Random folders below a few roots, random sizes (some zero, some huge).
Fixture randomFixture(quint32 seed, int folders, int files, double zeroShare)
{
    QRandomGenerator random(seed);
    std::vector<QByteArray> paths{"/"};
    for (int f = 1; f < folders; ++f) {
        const QByteArray &parent = paths[random.bounded(int(paths.size()))];
        paths.push_back(parent + "d" + QByteArray::number(f) + '/');
    }
    std::vector<std::vector<qint64>> perFolder(paths.size());
    for (int i = 0; i < files; ++i) {
        qint64 size = 0;
        if (random.generateDouble() >= zeroShare)
            size = qint64(std::pow(10.0, random.generateDouble() * 9)) + 1;
        perFolder[random.bounded(int(paths.size()))].push_back(size);
    }
    Fixture fixture;
    for (size_t f = 0; f < paths.size(); ++f) {
        if (perFolder[f].empty()) continue;
        fixture.source.folders.push_back(paths[f]);
        qint64 bytes = 0;
        for (qint64 size : perFolder[f]) {
            const auto row = quint32(fixture.sizeOfRow.size());
            fixture.source.cells.push_back({row, float(size)});
            fixture.sizeOfRow.push_back(size);
            fixture.pathOfRow.push_back(paths[f] + "f" + QByteArray::number(row));
            bytes += size;
        }
        fixture.source.folderBytes.push_back(bytes);
        fixture.source.folderStart.push_back(quint32(fixture.source.cells.size()));
    }
    return fixture;
}

bool inside(const MapBox &inner, const MapBox &outer, double slack = 1e-3)
{
    return inner.x >= outer.x - slack && inner.y >= outer.y - slack &&
           double(inner.x) + inner.w <= double(outer.x) + outer.w + slack &&
           double(inner.y) + inner.h <= double(outer.y) + outer.h + slack;
}

double overlap(const MapBox &a, const MapBox &b)
{
    const double w = std::min(double(a.x) + a.w, double(b.x) + b.w) - std::max(a.x, b.x);
    const double h = std::min(double(a.y) + a.h, double(b.y) + b.h) - std::max(a.y, b.y);
    return w > 0 && h > 0 ? w * h : 0;
}

// Every cell's box, by cell, as a painter gets them: one folder at a time.
std::vector<MapBox> allBoxes(const Treemap &map)
{
    std::vector<MapBox> all(map.Cells().size());
    std::vector<MapBox> boxes;
    for (quint32 f = 0; f < map.Folders().size(); ++f) {
        map.CellBoxes(f, boxes);
        std::copy(boxes.begin(), boxes.end(), all.begin() + map.Folder(f).cellBegin);
    }
    return all;
}

} // namespace

class TestTreemapLayout : public QObject
{
    Q_OBJECT
private slots:
    void properties_data();
    void properties();
    void tinyFoldersPooled();
    void hitTestAndPaths();
    void rowsLeaveWithoutNewLayout();
    void svgReadBack();
};

void TestTreemapLayout::properties_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("folders");
    QTest::addColumn<int>("files");
    QTest::addColumn<double>("zeroShare");
    QTest::addColumn<QRectF>("bounds");
    QTest::newRow("one folder") << 1u << 1 << 60 << 0.0 << QRectF(0, 0, 600, 400);
    QTest::newRow("deep tree") << 2u << 80 << 400 << 0.0 << QRectF(0, 0, 1600, 1000);
    QTest::newRow("tall, offset") << 3u << 30 << 300 << 0.0 << QRectF(10, 20, 90, 700);
    QTest::newRow("empty files") << 4u << 20 << 200 << 0.3 << QRectF(0, 0, 500, 500);
    QTest::newRow("one file") << 5u << 1 << 1 << 0.0 << QRectF(0, 0, 300, 200);
    QTest::newRow("many seeds a") << 6u << 40 << 250 << 0.05 << QRectF(0, 0, 777, 333);
    QTest::newRow("many seeds b") << 7u << 200 << 500 << 0.0 << QRectF(0, 0, 1024, 768);
}

void TestTreemapLayout::properties()
{
    // Without pooling, every file gets the share of the area its bytes have of
    // the total, no two areas overlap, all lie inside the bounds, and every file
    // lies inside its folder, every folder inside its parent.
    QFETCH(quint32, seed);
    QFETCH(int, folders);
    QFETCH(int, files);
    QFETCH(double, zeroShare);
    QFETCH(QRectF, bounds);
    Fixture fixture = randomFixture(seed, folders, files, zeroShare);
    Treemap map;
    map.Build(std::move(fixture.source));
    map.Layout(Treemap::kRoot, bounds, 0);
    QVERIFY(map.Others().empty());

    double total = 0;
    for (qint64 size : fixture.sizeOfRow)
        total += double(size);
    const double area = bounds.width() * bounds.height();
    const MapBox outer{float(bounds.x()), float(bounds.y()), float(bounds.width()),
                       float(bounds.height())};
    const std::vector<MapCell> &cells = map.Cells();
    QCOMPARE(cells.size(), fixture.sizeOfRow.size());
    const std::vector<MapBox> boxes = allBoxes(map);
    double covered = 0;
    for (quint32 c = 0; c < cells.size(); ++c) {
        const MapCell &cell = cells[c];
        const MapBox &box = boxes[c];
        const double expected = area * double(fixture.sizeOfRow[cell.row]) / total;
        const double got = double(box.w) * box.h;
        covered += got;
        if (expected == 0)
            QCOMPARE(got, 0.0);
        else
            QVERIFY2(std::abs(got - expected) <= 0.01 * expected,
                     qPrintable(
                         QStringLiteral("row %1: %2 for %3").arg(cell.row).arg(got).arg(expected)));
        QVERIFY(inside(box, outer));
        const MapFolder &folder = map.Folder(map.FolderOfCell(c));
        QVERIFY(folder.placed);
        QVERIFY(inside(box, folder.box));
        QVERIFY(map.PathOf(map.FolderOfCell(c)) + "f" + QByteArray::number(cell.row) ==
                fixture.pathOfRow[cell.row]);
    }
    QVERIFY(std::abs(covered - area) <= 1e-3 * area);
    for (quint32 a = 0; a < cells.size(); ++a) {
        for (quint32 b = a + 1; b < cells.size(); ++b) {
            // Edges meet within single precision; anything more is an overlap.
            const MapBox &x = boxes[a], &y = boxes[b];
            const double shared = overlap(x, y);
            QVERIFY2(shared <= 2e-4 * (x.w + x.h + y.w + y.h),
                     qPrintable(QStringLiteral("%1 and %2 share %3")
                                    .arg(cells[a].row)
                                    .arg(cells[b].row)
                                    .arg(shared)));
        }
    }
    for (quint32 f = 1; f < map.Folders().size(); ++f) {
        const MapFolder &folder = map.Folder(f);
        QVERIFY(folder.placed);
        QVERIFY(inside(folder.box, map.Folder(folder.parent).box));
        const double expected = area * double(folder.bytes) / total;
        QVERIFY(std::abs(double(folder.box.w) * folder.box.h - expected) <= 0.01 * expected + 1e-6);
    }
}

void TestTreemapLayout::tinyFoldersPooled()
{
    // One large folder and fifty of one byte each: the small ones share one
    // "other" area, sized by their bytes, and none of them is placed.
    Treemap::Source source;
    source.folders.push_back("/big/");
    source.cells.push_back({0, 1e6f});
    source.folderBytes.push_back(1000000);
    source.folderStart.push_back(1);
    for (int i = 0; i < 50; ++i) {
        source.folders.push_back("/small/s" + QByteArray::number(i) + '/');
        source.cells.push_back({quint32(i + 1), 1.0f});
        source.folderBytes.push_back(1);
        source.folderStart.push_back(quint32(i + 2));
    }
    Treemap map;
    map.Build(std::move(source));
    const QRectF bounds(0, 0, 400, 300);
    map.Layout(Treemap::kRoot, bounds, 64);
    // "/small" itself is too small: it is the one pooled folder of the root.
    QCOMPARE(map.Others().size(), size_t(1));
    const MapOther &other = map.Others().front();
    QCOMPARE(other.folders, 1u);
    QCOMPARE(other.files, quint64(50));
    QCOMPARE(other.bytes, qint64(50));
    QCOMPARE(other.parent, Treemap::kRoot);
    const double expected = 400.0 * 300 * 50 / 1000050;
    QVERIFY(std::abs(double(other.box.w) * other.box.h - expected) <= 0.01 * expected);
    for (quint32 f = 0; f < map.Folders().size(); ++f) {
        if (map.NameOf(f).startsWith('s')) QVERIFY(!map.Folder(f).placed);
    }
    const Treemap::Hit hit = map.HitTest(other.box.rect().center());
    QCOMPARE(hit.kind, Treemap::Hit::Other);

    // Zoomed into "/small", each folder has room of its own again.
    quint32 small = 0;
    for (quint32 f = 0; f < map.Folders().size(); ++f) {
        if (map.NameOf(f) == "small") small = f;
    }
    map.Layout(small, bounds, 64);
    QVERIFY(map.Others().empty());
    QVERIFY(!map.Folder(map.FolderOfCell(0)).placed); // "/big" is outside the view
    int placed = 0;
    for (quint32 f = 0; f < map.Folders().size(); ++f)
        placed += map.Folder(f).placed && map.NameOf(f).startsWith('s') ? 1 : 0;
    QCOMPARE(placed, 51); // "small" and its fifty
}

void TestTreemapLayout::hitTestAndPaths()
{
    Fixture fixture = randomFixture(11, 12, 80, 0);
    Treemap map;
    map.Build(std::move(fixture.source));
    map.Layout(Treemap::kRoot, QRectF(0, 0, 640, 480), 0);
    const std::vector<MapBox> boxes = allBoxes(map);
    for (quint32 c = 0; c < map.Cells().size(); ++c) {
        const MapCell &cell = map.Cells()[c];
        if (boxes[c].w < 1 || boxes[c].h < 1) continue;
        const Treemap::Hit hit = map.HitTest(boxes[c].rect().center());
        QCOMPARE(hit.kind, Treemap::Hit::Cell);
        QCOMPARE(hit.index, c);
        QCOMPARE(hit.folder, map.FolderOfCell(c));
        QCOMPARE(map.CellOfRow(cell.row), qint64(c));
    }
    QCOMPARE(map.HitTest(QPointF(700, 10)).kind, Treemap::Hit::None);
    QCOMPARE(map.PathOf(Treemap::kRoot), QByteArray("/"));
}

void TestTreemapLayout::rowsLeaveWithoutNewLayout()
{
    // Rows 0..9 leave and the rest move up: the boxes stay where they were, the
    // cells of the rows that left have none, and the totals shrink by them.
    Fixture fixture = randomFixture(21, 10, 60, 0);
    Treemap map;
    map.Build(std::move(fixture.source));
    map.Layout(Treemap::kRoot, QRectF(0, 0, 500, 400), 0);
    std::map<quint32, QRectF> before;
    for (quint32 c = 0; c < map.Cells().size(); ++c)
        before[map.Cells()[c].row] = map.CellBox(c).rect();
    const qsizetype gone =
        map.RemapRows([](quint32 row) { return row < 10 ? Treemap::kNoRow : row - 10; });
    QCOMPARE(gone, qsizetype(10));
    map.Recount([&](quint32 row) { return fixture.sizeOfRow[row + 10]; });
    qint64 left = 0;
    for (size_t row = 10; row < fixture.sizeOfRow.size(); ++row)
        left += fixture.sizeOfRow[row];
    QCOMPARE(map.Folder(Treemap::kRoot).bytes, left);
    QCOMPARE(map.Folder(Treemap::kRoot).files, quint64(50));
    const std::vector<MapBox> boxes = allBoxes(map);
    for (quint32 c = 0; c < map.Cells().size(); ++c) {
        const MapCell &cell = map.Cells()[c];
        if (cell.row == Treemap::kNoRow) continue;
        QCOMPARE(boxes[c].rect(), before[cell.row + 10]);
    }
}

void TestTreemapLayout::svgReadBack()
{
    // Every file with an area is one rect whose title names its path and
    // size; a name that is not UTF-8 or holds markup still reads back.
    Treemap::Source source;
    source.folders = {"/a/", "/b/c/"};
    source.cells = {{0, 3000.0f}, {1, 1000.0f}, {2, 2000.0f}, {3, 0.0f}};
    source.folderBytes = {4000, 2000};
    source.folderStart = {0, 2, 4};
    const std::vector<QByteArray> paths{"/a/x<&>.tmp", "/a/\xff\xfe.bak", "/b/c/y.log",
                                        "/b/c/empty"};
    const std::vector<qint64> sizes{3000, 1000, 2000, 0};
    Treemap map;
    map.Build(std::move(source));
    map.Layout(Treemap::kRoot, QRectF(0, 0, 300, 200), 0);
    TreemapRows rows;
    rows.path = [&](quint32 row) { return paths[row]; };
    rows.size = [&](quint32 row) { return sizes[row]; };
    rows.colour = [](quint32 row) { return mapKeyColour(int(row)); };
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(writeTreemapSvg(buffer, map, rows));

    QXmlStreamReader reader(buffer.data());
    QStringList titles;
    bool inFile = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"rect")
            inFile = reader.attributes().value(QLatin1String("class")) == QLatin1String("file");
        if (reader.isStartElement() && reader.name() == u"title" && inFile)
            titles << reader.readElementText();
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    QCOMPARE(titles.size(), 3); // the empty file has no area
    QVERIFY(titles.contains(QStringLiteral("/a/x<&>.tmp, 2.9 KiB (3,000 bytes)")) ||
            titles.contains(QStringLiteral("/a/x<&>.tmp, 2.93 KiB (3,000 bytes)")));
    QVERIFY(titles.filter(QStringLiteral("/b/c/y.log, ")).size() == 1);
    QVERIFY(titles.filter(QStringLiteral(".bak, 1,000 bytes")).size() == 1);
}

CLARIVEX_TEST_MAIN(TestTreemapLayout)
#include "tst_treemap_layout.moc"
