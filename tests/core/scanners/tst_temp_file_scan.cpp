#include "core/scanners/temp_file_scan.h"
#include "core/search/kv_find_file.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <sys/stat.h>

using namespace clarivex;
using clarivex::test::FinderTree;

namespace {

// Runs a scan over the given folders with a list that keeps names in order.
struct ScanRun
{
    QList<QByteArray> listed; // relative to the tree
    QStringList status0;
    QList<QByteArray> keys;
    qint64 files = 0;
    qint64 bytes = 0;
    bool started = false;
};

ScanRun scan(const FinderTree &tree, const TempScanOptions &options,
             const QList<QByteArray> &folders = {""})
{
    ScanRun run;
    TKvFindFile finder;
    TempFileScan scan;
    scan.addFile = [&](const QByteArray &folder, const TFindData &data, qint64 &size) {
        run.listed << (folder + data.name).mid(tree.root().size() + 1);
        size = data.size;
        return true;
    };
    scan.status = [&](int panel, const QString &text) {
        if (panel == 0) run.status0 << text;
    };
    run.started = scan.configure(finder, options);
    if (!run.started) return run;
    QList<ScanDrive> drives;
    for (const QByteArray &folder : folders)
        drives.append(
            {folder.isEmpty() ? tree.root() : tree.path(folder), QStringLiteral("Label")});
    scan.run(finder, drives);
    run.keys = scan.CandidateKeys;
    run.files = scan.FoundFileCount;
    run.bytes = scan.FoundByteTotal;
    return run;
}

TempScanOptions defaults()
{
    TempScanOptions options;
    options.groups = factoryFileGroups();
    options.foldersToSkip = factoryFoldersToSkip();
    return options;
}

} // namespace

class TestTempFileScan : public QObject
{
    Q_OBJECT
private slots:
    void defaultGroupsFindTheirFiles();
    void userGroupWithoutWildcards();
    void noCheckedGroupCannotStart();
    void skipEntries_data();
    void skipEntries();
    void attributeFilters();
    void sizeFilters();
    void drivesInOrder();
    void searchingText_data();
    void searchingText();
    void stopEndsTheScan();
};

void TestTempFileScan::defaultGroupsFindTheirFiles()
{
    FinderTree tree;
    tree.file("windows/temp/~DF1A2B.TMP", "12345");
    tree.file("docs/report.bak", "x");
    tree.file("docs/notes.txt", "x");
    tree.file("FILE0001._DD");
    tree.file("bootlog.prv");
    const ScanRun run = scan(tree, defaults());
    QVERIFY(run.started);
    QCOMPARE(run.files, 4);
    QCOMPARE(run.bytes, 6);
    // Every file of a folder before anything below it (in the folder's own order).
    QList<QByteArray> top = run.listed.mid(0, 2);
    std::sort(top.begin(), top.end());
    QCOMPARE(top, (QList<QByteArray>{"FILE0001._DD", "bootlog.prv"}));
    QVERIFY(run.listed.contains("windows/temp/~DF1A2B.TMP"));
    QVERIFY(!run.listed.contains("docs/notes.txt"));
    QVERIFY(run.keys.contains(tree.path("docs/report.bak") + '/'));
}

void TestTempFileScan::userGroupWithoutWildcards()
{
    FinderTree tree;
    tree.file("old-report-2020.doc");
    tree.file("reporter.txt");
    tree.file("other.doc");
    TempScanOptions options = defaults();
    for (FileGroup &g : options.groups)
        g.checked = false;
    options.groups.append({"Reports", savedMasks("report"), "clRed", true});
    const ScanRun run = scan(tree, options);
    QCOMPARE(run.files, 2); // 'report' is widened to '*report*'
}

void TestTempFileScan::noCheckedGroupCannotStart()
{
    FinderTree tree;
    TempScanOptions options = defaults();
    for (FileGroup &g : options.groups)
        g.checked = false;
    QVERIFY(!scan(tree, options).started);
    options.groups = {{"Empty", "", "clBlack", true}};
    QVERIFY(!scan(tree, options).started);
}

void TestTempFileScan::skipEntries_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<int>("found");
    QTest::newRow("none") << "" << true << 3;
    QTest::newRow("word in any case skips below too") << "WINDOWS" << true << 1;
    QTest::newRow("unchecked has no effect") << "windows" << false << 3;
    QTest::newRow("matches every folder") << "/" << true << 0;
}

void TestTempFileScan::skipEntries()
{
    QFETCH(QString, entry);
    QFETCH(bool, checked);
    QFETCH(int, found);
    FinderTree tree;
    tree.file("a.tmp");
    tree.file("Windows/b.tmp");
    tree.file("Windows/deeper/c.tmp");
    TempScanOptions options = defaults();
    options.foldersToSkip = {{entry, checked}};
    QCOMPARE(scan(tree, options).files, found);
}

void TestTempFileScan::attributeFilters()
{
    FinderTree tree;
    tree.file(".~x.tmp");
    tree.file("ro.tmp", {}, 0444);
    tree.file("plain.tmp");
    TempScanOptions options = defaults();
    QCOMPARE(scan(tree, options).files, 3);
    options.hidden = false;
    QVERIFY(!scan(tree, options).listed.contains(".~x.tmp"));
    options.hidden = true;
    options.readOnly = false;
    QList<QByteArray> listed = scan(tree, options).listed;
    std::sort(listed.begin(), listed.end());
    QCOMPARE(listed, (QList<QByteArray>{".~x.tmp", "plain.tmp"}));
}

void TestTempFileScan::sizeFilters()
{
    FinderTree tree;
    tree.file("small.tmp", QByteArray(102399, 'x'));
    tree.file("exact.tmp", QByteArray(102400, 'x'));
    tree.file("large.tmp", QByteArray(102401, 'x'));
    TempScanOptions options = defaults();
    options.useSize = true;
    options.sizeIsMax = false; // neither button: the limit is a lower bound
    QList<QByteArray> listed = scan(tree, options).listed;
    std::sort(listed.begin(), listed.end());
    QCOMPARE(listed, (QList<QByteArray>{"exact.tmp", "large.tmp"}));
    options.sizeIsMax = true;
    listed = scan(tree, options).listed;
    std::sort(listed.begin(), listed.end());
    QCOMPARE(listed, (QList<QByteArray>{"exact.tmp", "small.tmp"}));
}

void TestTempFileScan::drivesInOrder()
{
    FinderTree tree;
    tree.file("c/one.tmp");
    tree.file("d/two.tmp");
    const ScanRun run = scan(tree, defaults(), {"c", "missing", "d"});
    QCOMPARE(run.listed, (QList<QByteArray>{"c/one.tmp", "d/two.tmp"}));
    QCOMPARE(run.status0,
             (QStringList{
                 "Searching Files on Label (" + QFile::decodeName(tree.path("c")) + ") ...",
                 "Searching Files on Label (" + QFile::decodeName(tree.path("missing")) + ") ...",
                 "Searching Files on Label (" + QFile::decodeName(tree.path("d")) + ") ..."}));
}

void TestTempFileScan::searchingText_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shown");
    QTest::newRow("label") << "Data"
                           << "Data (/mnt/data)"
                           << "Searching Files on Data (/mnt/data) ...";
    QTest::newRow("no label: the caption") << ""
                                           << "sda1 (/mnt/data)"
                                           << "Searching Files on sda1 (/mnt/data) ...";
    QTest::newRow("home folder") << ""
                                 << "Home (/home/u)"
                                 << "Searching Files on Home (/home/u) ...";
    QTest::newRow("neither: the root") << ""
                                       << ""
                                       << "Searching Files on /mnt/data ...";
}

void TestTempFileScan::searchingText()
{
    QFETCH(QString, label);
    QFETCH(QString, caption);
    QFETCH(QString, shown);
    const QString root = caption.startsWith("Home") ? "/home/u" : "/mnt/data";
    QCOMPARE(TempFileScan::searchingText({QFile::encodeName(root), label, caption}), shown);
}

void TestTempFileScan::stopEndsTheScan()
{
    FinderTree tree;
    tree.file("c/one.tmp");
    tree.file("c/two.tmp");
    tree.file("d/three.tmp");
    TKvFindFile finder;
    TempFileScan scan;
    QList<QByteArray> listed;
    scan.addFile = [&](const QByteArray &, const TFindData &data, qint64 &size) {
        listed << data.name;
        finder.Stop(); // pressed while the first file is listed
        size = 0;
        return true;
    };
    QVERIFY(scan.configure(finder, defaults()));
    scan.run(finder, {{tree.path("c"), {}, {}}, {tree.path("d"), {}, {}}});
    QCOMPARE(listed.size(), 1); // the drive after the stopped one is not walked
    QVERIFY(scan.Stopped);
    QVERIFY(finder.FoldersSeen >= 1 && finder.FilesSeen >= 1);

    listed.clear();
    scan.addFile = [&](const QByteArray &, const TFindData &data, qint64 &size) {
        listed << data.name;
        size = 0;
        return true;
    };
    scan.run(finder, {{tree.path("c"), {}, {}}, {tree.path("d"), {}, {}}});
    QCOMPARE(listed.size(), 3);
    QVERIFY(!scan.Stopped);
}

CLARIVEX_TEST_MAIN_CORE(TestTempFileScan)
#include "tst_temp_file_scan.moc"
