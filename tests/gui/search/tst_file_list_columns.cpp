#include "core/base/settings_types.h"
#include "core/search/column_sizes.h"
#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/main_window.h"
#include "support/finder_fixture.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QHeaderView>
#include <QMimeDatabase>

using namespace clarivex;
using clarivex::test::FinderTree;
using clarivex::test::ScopedNotices;

namespace {

const QString kSection = QStringLiteral("Columns");
const QString kValue = QStringLiteral("Sizes");

TRegIniFile store()
{
    return TRegIniFile(QString::fromLatin1(kSettingsRoot) + QStringLiteral("Settings\\"));
}

void freshStore()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
}

QList<int> shownWidths(const TKvFileListView *list)
{
    QList<int> widths;
    for (int c = 0; c < kFoundFileColumnCount; ++c)
        widths << list->header()->sectionSize(c);
    return widths;
}

} // namespace

// The found-file list of the real window: its column record, its layout at
// two window sizes, its sort mark, and what its rows show.
class TestFileListColumns : public QObject
{
    Q_OBJECT
private slots:
    void init() { freshStore(); }
    void columnRecord_data();
    void columnRecord();
    void spareWidthGoesToNameAndFolder_data();
    void spareWidthGoesToNameAndFolder();
    void sortIndicatorFollowsTheSort();
    void rowsShowNamesAndTypesAsFound();
};

void TestFileListColumns::columnRecord_data()
{
    // The stored text, and the widths it gives; -2 stands for the width the
    // column fits in, -1 for the built-in width.
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QList<int>>("widths");
    const QList<int> builtIn(kFoundFileColumnCount, -1);
    QTest::newRow("nothing stored") << QString() << builtIn;
    QTest::newRow("all eleven") << "101,141,71,72,113,51,30,31,32,33,34"
                                << QList<int>{101, 141, 71, 72, 113, 51, 30, 31, 32, 33, 34};
    QTest::newRow("too few: the rest fit")
        << "55,66" << QList<int>{55, 66, -2, -2, -2, -2, -2, -2, -2, -2, -2};
    QTest::newRow("bad numbers give 0")
        << "x,,70,1e3" << QList<int>{0, 0, 70, 0, -2, -2, -2, -2, -2, -2, -2};
    QTest::newRow("all fit") << "-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2" << QList<int>(11, -2);
    QTest::newRow("too many") << "1,2,3,4,5,6,7,8,9,10,11,12,13"
                              << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
}

void TestFileListColumns::columnRecord()
{
    QFETCH(QString, stored);
    QFETCH(QList<int>, widths);
    if (!stored.isNull()) store().WriteText(kSection, kValue, stored);
    ScopedNotices notices;
    QList<int> expected;
    {
        TClarivexMainForm window;
        window.createWindowSteps({});
        TKvFileListView *list = window.FileListView;
        const QList<int> builtIn = list->ColumnWidths(); // before the window is shown
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int c = 0; c < kFoundFileColumnCount; ++c) {
            const int want = widths[c] == -1   ? builtIn[c]
                             : widths[c] == -2 ? list->FittedWidth(c)
                                               : widths[c];
            QCOMPARE(list->ColumnWidths()[c], want);
        }
        // The built-in widths fit a date and every caption.
        if (stored.isNull()) {
            for (int c = 0; c < kFoundFileColumnCount; ++c)
                QVERIFY(builtIn[c] >= list->FittedWidth(c));
        }
        // The user widens Size; the window goes and the widths are written.
        list->header()->resizeSection(colSize, list->header()->sectionSize(colSize) + 25);
        expected = list->ColumnWidths();
        window.close();
    }
    QCOMPARE(store().ReadText(kSection, kValue, QString()), formatColumnSizes(expected));
}

void TestFileListColumns::spareWidthGoesToNameAndFolder_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("small window") << QSize(600, 460);
    QTest::newRow("maximised") << QSize(1600, 1000);
}

void TestFileListColumns::spareWidthGoesToNameAndFolder()
{
    QFETCH(QSize, size);
    ScopedNotices notices;
    QList<int> chosen;
    {
        TClarivexMainForm window;
        window.createWindowSteps({});
        window.resize(size);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        TKvFileListView *list = window.FileListView;
        chosen = list->ColumnWidths();
        const QList<int> shown = shownWidths(list);
        int chosenSum = 0;
        for (int width : chosen)
            chosenSum += width;
        const int viewport = list->viewport()->width();
        for (int c = 0; c < kFoundFileColumnCount; ++c) {
            if (c != colName && c != colFolder) QCOMPARE(shown[c], chosen[c]);
        }
        if (chosenSum >= viewport) {
            QCOMPARE(shown, chosen); // no spare width: the columns scroll
        } else {
            int shownSum = 0;
            for (int width : shown)
                shownSum += width;
            QCOMPARE(shownSum, viewport); // no empty strip at the right
            QVERIFY(shown[colName] > chosen[colName] && shown[colFolder] > chosen[colFolder]);
            QVERIFY(shown[colFolder] >= shown[colName] - chosen[colName] + chosen[colFolder]);
        }
        if (size.width() >= 1600) QVERIFY(chosenSum < viewport);
        window.close();
    }
    // What is kept is the chosen widths, not the window's share of them.
    QCOMPARE(store().ReadText(kSection, kValue, QString()), formatColumnSizes(chosen));
}

void TestFileListColumns::sortIndicatorFollowsTheSort()
{
    FinderTree tree;
    tree.file("b.tmp", "123");
    tree.file("A.tmp", "1");
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    TKvFileListView *list = window.FileListView;
    QHeaderView *head = list->header();
    qint64 size = 0;
    QVERIFY(list->AddFile(tree.path("b.tmp"), size));
    QVERIFY(list->AddFile(tree.path("A.tmp"), size));
    list->Model()->FlushPending();
    QCOMPARE(head->sortIndicatorSection(), -1); // rows in the order found
    QVERIFY(head->isSortIndicatorShown());

    const auto click = [&](int column) {
        const QPoint centre(head->sectionViewportPosition(column) + head->sectionSize(column) / 2,
                            head->height() / 2);
        QTest::mouseClick(head->viewport(), Qt::LeftButton, {}, centre);
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    click(colSize);
    QCOMPARE(head->sortIndicatorSection(), int(colSize));
    QCOMPARE(head->sortIndicatorOrder(), Qt::AscendingOrder);
    QCOMPARE(list->Model()->CellText(0, colName), QStringLiteral("A.tmp"));
    click(colSize);
    QCOMPARE(head->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(list->Model()->CellText(0, colName), QStringLiteral("b.tmp"));
    // A new scan lists rows in the order found again.
    list->Clear();
    QCOMPARE(head->sortIndicatorSection(), -1);
}

void TestFileListColumns::rowsShowNamesAndTypesAsFound()
{
    FinderTree tree;
    tree.file("Etc/UPPER.TMP", "plain words of text\n");
    tree.file("Etc/lower.tmp", "");
    tree.file("Etc/page.html", "<html></html>");
    tree.file("Etc/blob.chk", QByteArray("\x01\x02\xfe\xff\x00\x9c", 6));
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    FoundFileModel *model = window.FileListView->Model();
    qint64 size = 0;
    for (const char *name : {"Etc/UPPER.TMP", "Etc/lower.tmp", "Etc/page.html", "Etc/blob.chk"})
        QVERIFY(model->AddFile(tree.path(name), size));
    model->FlushPending();
    // Names and folders as on disk.
    QCOMPARE(model->CellText(0, colName), QStringLiteral("UPPER.TMP"));
    QCOMPARE(model->CellText(0, colFolder), QFile::decodeName(tree.path("Etc")) + '/');
    // A name that says no type is described by its content; others by name.
    const QMimeDatabase mime;
    QCOMPARE(model->CellText(0, colType), mime.mimeTypeForName("text/plain").comment());
    QCOMPARE(model->CellText(1, colType), mime.mimeTypeForName("application/x-zerosize").comment());
    QCOMPARE(model->CellText(2, colType), mime.mimeTypeForName("text/html").comment());
    // Content of no known type: described as such, and read only once.
    const quint32 byName = model->Row(3).fileType;
    QCOMPARE(model->CellText(3, colType),
             mime.mimeTypeForName("application/octet-stream").comment());
    QVERIFY(model->Row(3).fileType != byName);
    QVERIFY(!model->data(model->index(0, colName), Qt::DecorationRole).value<QIcon>().isNull());
    // Sorting by name still ignores case.
    model->SortRows(colName, true);
    QCOMPARE(model->CellText(1, colName), QStringLiteral("lower.tmp"));
    QCOMPARE(model->CellText(3, colName), QStringLiteral("UPPER.TMP"));
}

CLARIVEX_TEST_MAIN(TestFileListColumns)
#include "tst_file_list_columns.moc"
