#include "core/base/formats.h"
#include "core/search/kv_find_file.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <unistd.h>

using namespace clarivex;
using namespace clarivex::test;

using Files = QList<QByteArray>;

class TestKvFindFile : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void filters_data();
    void filters();
    void dataOfReportedFiles();
    void dateBounds_data();
    void dateBounds();
    void dateSetters();
    void order();
    void noRecursion();
    void stopAndCancel_data();
    void stopAndCancel();
    void afterExecuteInEveryCase();
    void executeAgainFromAfterExecute();

private:
    std::unique_ptr<FinderTree> m_tree;
    bool m_haveSystemFile = false;
};

static Files sorted(Files files)
{
    std::sort(files.begin(), files.end());
    return files;
}

void TestKvFindFile::initTestCase()
{
    m_tree = std::make_unique<FinderTree>();
    QVERIFY(m_tree->isValid());
    FinderTree &t = *m_tree;
    t.file("plain.txt", "0123456789");
    t.file(".hidden.txt", "hid");
    t.file("readonly.txt", "read only", 0444);
    t.file("exact100.bin", QByteArray(100, 'x'));
    t.file("over101.bin", QByteArray(101, 'x'));
    t.file("needle.dat", "aaabbbba");
    t.file("abc.dat", "xxabcxx");
    t.file("empty.dat");
    t.file("sub/deep.TMP", "deep");
    t.file("sub/.cache/~wrl0001.tmp", "word");
    t.file("system.txt", "other owner");
    m_haveSystemFile = ::chown(t.path("system.txt").constData(), 65534, 65534) == 0;
}

void TestKvFindFile::filters_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<int>("attributes");
    QTest::addColumn<int>("minSize");
    QTest::addColumn<int>("maxSize");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Files>("expected");
    const Files all{".hidden.txt",  "abc.dat",      "empty.dat",
                    "exact100.bin", "needle.dat",   "over101.bin",
                    "plain.txt",    "readonly.txt", "sub/.cache/~wrl0001.tmp",
                    "sub/deep.TMP", "system.txt"};
    const int max = 2147483647;
    QTest::newRow("defaults: everything") << "" << 63 << 0 << max << "" << all;
    QTest::newRow("attributes 39: every ordinary file") << "" << 39 << 0 << max << "" << all;
    QTest::newRow("attributes 0x20: no hidden, read-only or system file")
        << "" << 0x20 << 0 << max << ""
        << Files{"abc.dat",     "empty.dat", "exact100.bin", "needle.dat",
                 "over101.bin", "plain.txt", "sub/deep.TMP", "sub/.cache/~wrl0001.tmp"};
    QTest::newRow("attributes 0x22: hidden allowed")
        << "*.txt" << 0x22 << 0 << max << "" << Files{".hidden.txt", "plain.txt"};
    QTest::newRow("attributes without archive: nothing") << "" << 0x1F << 0 << max << "" << Files{};
    QTest::newRow("exactly MaxSize passes")
        << "*.bin" << 63 << 0 << 100 << "" << Files{"exact100.bin"};
    QTest::newRow("MinSize") << "*.bin" << 63 << 101 << max << "" << Files{"over101.bin"};
    QTest::newRow("sizes swapped")
        << "" << 63 << 101 << 100 << "" << Files{"exact100.bin", "over101.bin"};
    QTest::newRow("masks of two groups")
        << "*.TMP;*.bin" << 63 << 0 << max << ""
        << Files{"exact100.bin", "over101.bin", "sub/.cache/~wrl0001.tmp", "sub/deep.TMP"};
    QTest::newRow("a word is a part of the name")
        << "deep" << 63 << 0 << max << "" << Files{"sub/deep.TMP"};
    QTest::newRow("~*.* in a hidden folder")
        << "~*.*" << 63 << 0 << max << "" << Files{"sub/.cache/~wrl0001.tmp"};
    QTest::newRow("text bbbb") << "" << 63 << 0 << max << "bbbb" << Files{"needle.dat"};
    QTest::newRow("text ABC folds") << "" << 63 << 0 << max << "ABC" << Files{"abc.dat"};
    QTest::newRow("text after the other stages")
        << "*.txt" << 63 << 0 << max << "0123" << Files{"plain.txt"};
    QTest::newRow("text nowhere") << "" << 63 << 0 << max << "zzz" << Files{};
}

void TestKvFindFile::filters()
{
    QFETCH(QString, mask);
    QFETCH(int, attributes);
    QFETCH(int, minSize);
    QFETCH(int, maxSize);
    QFETCH(QString, text);
    QFETCH(Files, expected);
    if (!m_haveSystemFile && expected.contains("system.txt"))
        QSKIP("cannot give a file to another owner here");
    if (!m_haveSystemFile && attributes == 0x20) expected << "system.txt";

    TKvFindFile finder;
    finder.SetFileMask(mask);
    finder.SetAttributes(attributes);
    finder.MinSize = minSize;
    finder.MaxSize = maxSize;
    finder.SetFindString(text);
    int scanned = 0;
    finder.OnScanFile = [&scanned](const QByteArray &, bool &) { ++scanned; };
    const FinderRun run = runFinder(finder, *m_tree, m_tree->root());
    QVERIFY(run.result);
    QCOMPARE(sorted(run.files), sorted(expected));
    if (text.isEmpty()) QCOMPARE(scanned, 0);
    QVERIFY(scanned >= (text.isEmpty() ? 0 : int(expected.size())));
}

void TestKvFindFile::dataOfReportedFiles()
{
    TKvFindFile finder;
    const FinderRun run = runFinder(finder, *m_tree, m_tree->root());
    QVERIFY(run.result);
    QHash<QByteArray, TFindData> byName;
    for (const TFindData &data : run.data)
        byName.insert(data.name, data);
    QCOMPARE(byName.value("plain.txt").attributes, quint32(faArchive));
    QCOMPARE(byName.value(".hidden.txt").attributes, quint32(faArchive | faHidden));
    QCOMPARE(byName.value("readonly.txt").attributes, quint32(faArchive | faReadOnly));
    if (m_haveSystemFile)
        QCOMPARE(byName.value("system.txt").attributes, quint32(faArchive | faSysFile));
    QCOMPARE(byName.value("exact100.bin").size, 100);
    const QFileInfo info(QFile::decodeName(m_tree->path("plain.txt")));
    QCOMPARE(fileTimeToDateTime(byName.value("plain.txt").lastWriteTime), info.lastModified());
    QVERIFY(!byName.value("plain.txt").isSymlink);
}

void TestKvFindFile::dateBounds_data()
{
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<QDateTime>("to");
    QTest::addColumn<Files>("expected");
    const QDateTime none;
    const QDateTime y2000(QDate(2000, 6, 15), QTime(12, 0, 0));
    QTest::newRow("no bounds: 1970 and 2150 pass too")
        << none << none << Files{"d/y1970.txt", "d/y2000.txt", "d/y2150.txt"};
    QTest::newRow("from inside the range")
        << QDateTime(QDate(2000, 1, 1), QTime(0, 0)) << none << Files{"d/y2000.txt", "d/y2150.txt"};
    QTest::newRow("to inside the range")
        << none << QDateTime(QDate(2001, 1, 1), QTime(0, 0)) << Files{"d/y1970.txt", "d/y2000.txt"};
    QTest::newRow("from at the file's time passes") << y2000 << y2000 << Files{"d/y2000.txt"};
    QTest::newRow("from two seconds later does not")
        << y2000.addSecs(2) << none << Files{"d/y2150.txt"};
    QTest::newRow("swapped bounds")
        << QDateTime(QDate(2001, 1, 1), QTime(0, 0)) << QDateTime(QDate(1999, 1, 1), QTime(0, 0))
        << Files{"d/y2000.txt"};
    QTest::newRow("a day after the first of the range is a bound")
        << QDateTime(QDate(1980, 1, 2), QTime(0, 0)) << none << Files{"d/y2000.txt", "d/y2150.txt"};
    QTest::newRow("a day before the last of the range is a bound")
        << none << QDateTime(QDate(2099, 12, 30), QTime(0, 0))
        << Files{"d/y1970.txt", "d/y2000.txt"};
    QTest::newRow("before the range clamps to no bound")
        << QDateTime(QDate(1950, 1, 1), QTime(0, 0)) << QDateTime(QDate(2200, 1, 1), QTime(0, 0))
        << Files{"d/y1970.txt", "d/y2000.txt", "d/y2150.txt"};
}

void TestKvFindFile::dateBounds()
{
    QFETCH(QDateTime, from);
    QFETCH(QDateTime, to);
    QFETCH(Files, expected);
    FinderTree tree;
    tree.file("d/y1970.txt", "a");
    tree.file("d/y2000.txt", "b");
    tree.file("d/y2150.txt", "c");
    tree.setModified("d/y1970.txt", QDateTime(QDate(1970, 1, 2), QTime(0, 0)));
    tree.setModified("d/y2000.txt", QDateTime(QDate(2000, 6, 15), QTime(12, 0, 0)));
    tree.setModified("d/y2150.txt", QDateTime(QDate(2150, 3, 1), QTime(0, 0)));
    TKvFindFile finder;
    if (from.isValid()) finder.SetDateFrom(dateTimeToValue(from));
    if (to.isValid()) finder.SetDateTo(dateTimeToValue(to));
    const FinderRun run = runFinder(finder, tree, tree.root());
    QVERIFY(run.result);
    QCOMPARE(sorted(run.files), expected);
}

void TestKvFindFile::dateSetters()
{
    TKvFindFile finder;
    QCOMPARE(finder.DateFrom(), TKvFindFile::kDateRangeFirst);
    QCOMPARE(finder.DateTo(), TKvFindFile::kDateRangeLast);
    // Two-second steps: an odd second rounds down.
    const QDateTime odd(QDate(2010, 5, 5), QTime(10, 20, 31, 500));
    finder.SetDateFrom(dateTimeToValue(odd));
    QCOMPARE(valueToDateTime(finder.DateFrom()), QDateTime(QDate(2010, 5, 5), QTime(10, 20, 30)));
    QCOMPARE(finder.dateFromTime(),
             QDateTime(QDate(2010, 5, 5), QTime(10, 20, 30)).toMSecsSinceEpoch() * 1000000);
    finder.SetDateTo(-5.0);
    QCOMPARE(finder.DateTo(), TKvFindFile::kDateRangeFirst);
}

// All files of a folder come before anything below it; each folder is read
// once, depth first.
void TestKvFindFile::order()
{
    FinderTree tree;
    for (const char *folder : {"a", "a/aa", "a/aa/aaa", "a/ab", "b", "b/ba", "c"}) {
        for (int i = 0; i < 3; ++i)
            tree.file(QByteArray(folder) + "/f" + QByteArray::number(i));
    }
    tree.file("top1");
    tree.file("top2");
    TKvFindFile finder;
    const FinderRun run = runFinder(finder, tree, tree.root());
    QVERIFY(run.result);
    QCOMPARE(run.files.size(), 23);
    QList<QByteArray> stack;
    QSet<QByteArray> seen;
    for (const QByteArray &event : run.events) {
        const QByteArray path = event.mid(2);
        if (event.startsWith("D ")) {
            QVERIFY2(!seen.contains(path), path.constData());
            seen.insert(path);
            const QByteArray parent = path.isEmpty()
                                          ? QByteArray()
                                          : path.left(path.lastIndexOf('/', path.size() - 2) + 1);
            while (!stack.isEmpty() && stack.last() != parent)
                stack.removeLast();
            QVERIFY2(path.isEmpty() || !stack.isEmpty(), path.constData());
            stack << path;
        } else {
            QVERIFY(!stack.isEmpty());
            QCOMPARE(path.left(path.lastIndexOf('/') + 1), stack.last());
        }
    }
    QCOMPARE(seen.size(), 8);
}

void TestKvFindFile::noRecursion()
{
    TKvFindFile finder;
    finder.RecurseDirs = false;
    finder.SetFileMask("*.TMP;*.txt");
    const FinderRun run = runFinder(finder, *m_tree, m_tree->root() + "/");
    QVERIFY(run.result);
    QVERIFY(!run.files.isEmpty());
    for (const QByteArray &file : run.files)
        QVERIFY2(!file.contains('/'), file.constData());
    QCOMPARE(run.events.first(), QByteArray("D ")); // the root, with one "/"
    QCOMPARE(run.events.count(QByteArray("D ")), 1);
}

enum Interruption {
    CancelInChDir,
    CancelInAddFile,
    StopInAddFile,
    StopInPump,
    CancelInScanFile,
    StopBeforeExecute
};

void TestKvFindFile::stopAndCancel_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("reported"); // -1: every file
    QTest::newRow("cancel in OnChDir of a subfolder ends everything")
        << int(CancelInChDir) << false << -2;
    QTest::newRow("cancel in OnAddFile") << int(CancelInAddFile) << false << 1;
    QTest::newRow("Stop in OnAddFile") << int(StopInAddFile) << false << 1;
    QTest::newRow("Stop while pumping") << int(StopInPump) << false << 0;
    QTest::newRow("cancel in OnScanFile: that file is still searched and reported")
        << int(CancelInScanFile) << false << 1;
    QTest::newRow("Stop before Execute has no effect") << int(StopBeforeExecute) << true << -1;
}

void TestKvFindFile::stopAndCancel()
{
    QFETCH(int, how);
    QFETCH(bool, result);
    QFETCH(int, reported);
    FinderTree tree;
    for (const char *name : {"one.txt", "two.txt", "three.txt", "s/four.txt", "s/t/five.txt"})
        tree.file(name, "needle");
    TKvFindFile finder;
    FinderHooks hooks;
    int folders = 0;
    switch (how) {
    case CancelInChDir:
        hooks.onChDir = [&folders](const QByteArray &folder, bool &Cancel) {
            ++folders;
            Cancel = folder == "s/";
        };
        break;
    case CancelInAddFile:
        hooks.onAddFile = [](const QByteArray &, bool &Cancel) { Cancel = true; };
        break;
    case StopInAddFile:
        hooks.onAddFile = [&finder](const QByteArray &, bool &) { finder.Stop(); };
        break;
    case StopInPump:
        finder.Pump = [&finder] { finder.Stop(); };
        break;
    case CancelInScanFile:
        finder.SetFindString("NEEDLE");
        finder.OnScanFile = [](const QByteArray &, bool &Cancel) { Cancel = true; };
        break;
    case StopBeforeExecute:
        finder.Stop();
        break;
    }
    const FinderRun run = runFinder(finder, tree, tree.root(), hooks);
    QCOMPARE(run.result, result);
    QCOMPARE(run.afterExecute, 1);
    if (reported == -1)
        QCOMPARE(run.files.size(), 5);
    else if (reported == -2) // the three files of the root, then "s/" cancels
        QCOMPARE(run.files.size(), 3);
    else
        QCOMPARE(run.files.size(), reported);
    if (how == CancelInChDir) {
        QCOMPARE(folders, 2);
        QVERIFY(!run.events.contains("D s/t/"));
    }
}

void TestKvFindFile::afterExecuteInEveryCase()
{
    FinderTree tree;
    tree.file("file.txt");
    TKvFindFile finder;
    FinderRun run = runFinder(finder, tree, tree.path("missing"));
    QVERIFY(!run.result);
    QCOMPARE(run.afterExecute, 1);
    QVERIFY(run.events.isEmpty());
    run = runFinder(finder, tree, tree.path("file.txt")); // not a folder
    QVERIFY(!run.result);
    QCOMPARE(run.afterExecute, 1);
    run = runFinder(finder, tree, QByteArray());
    QVERIFY(!run.result);
    QCOMPARE(run.afterExecute, 1);
}

// The temporary-file scan moves to the next drive from AfterExecute.
void TestKvFindFile::executeAgainFromAfterExecute()
{
    FinderTree first;
    first.file("1.txt");
    FinderTree second;
    second.file("2.txt");
    second.file("sub/3.txt");
    TKvFindFile finder;
    QList<QByteArray> reported;
    QList<bool> results;
    int depth = 0;
    finder.OnAddFile = [&reported](const QByteArray &Path, const TFindData &Data, bool &) {
        reported << Path + Data.name;
    };
    finder.AfterExecute = [&](TKvFindFile &Sender) {
        if (++depth == 1) {
            results << Sender.Execute(second.root());
            Sender.Stop(); // a Stop after the inner run must not change the outer result
        }
    };
    const bool outer = finder.Execute(first.root() + "/missing");
    QVERIFY(!outer);
    QCOMPARE(results, QList<bool>{true});
    QCOMPARE(reported.size(), 2);
    QVERIFY(finder.Execute(first.root())); // the flag was cleared again
    QCOMPARE(reported.size(), 3);
    QCOMPARE(reported.last(), first.path("1.txt"));
}

CLARIVEX_TEST_MAIN_CORE(TestKvFindFile)
#include "tst_kv_find_file.moc"
