// The duplicate scan without a window: which files form sets, and how the
// collect and compare phases treat links, large files, changed and vanished
// files, stops and the master phase.

#include "core/base/file_facts.h"
#include "core/base/path_text.h"
#include "core/scanners/duplicate_scan.h"
#include "core/scanners/file_signature.h"
#include "core/search/kv_find_file.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

using namespace clarivex;
using clarivex::test::FinderTree;

namespace {

// Options from letters: s size, n name, t date/time, e skip empty files.
DuplicateScanOptions optionsFrom(const QString &letters)
{
    DuplicateScanOptions options;
    options.checkFileSize = letters.contains('s');
    options.checkFileName = letters.contains('n');
    options.checkFileTimeStamp = letters.contains('t');
    options.skipEmptyFiles = letters.contains('e');
    return options;
}

// Fixture lines: "path=content" a file, "path=content@SECONDS" with that
// modification time, "path<target" a hard link, "path->target" a symlink.
void build(FinderTree &tree, const QStringList &lines)
{
    for (const QString &line : lines) {
        const QByteArray text = line.toUtf8();
        if (text.contains("->")) {
            const auto parts = text.split('>');
            tree.link(parts[0].chopped(1), parts[1]);
        } else if (text.contains('<')) {
            const auto parts = text.split('<');
            tree.folder(QFileInfo(QString::fromUtf8(parts[0])).path().toUtf8());
            QCOMPARE(::link(tree.path(parts[1]).constData(), tree.path(parts[0]).constData()), 0);
        } else {
            const qsizetype eq = text.indexOf('=');
            QByteArray content = text.mid(eq + 1);
            const qsizetype at = content.indexOf('@');
            tree.file(text.left(eq), at < 0 ? content : content.left(at));
            if (at >= 0)
                tree.setModified(text.left(eq),
                                 QDateTime::fromSecsSinceEpoch(content.mid(at + 1).toLongLong()));
        }
    }
}

struct Listed
{
    QStringList rows; // "-" for a separator, else the path below the tree
    QStringList status;
    QStringList wrongFacts; // rows whose facts are not the file's own
    DuplicateCompare compare;
};

void wire(Listed &listed, const FinderTree &tree)
{
    const qsizetype cut = tree.root().size() + 1;
    listed.compare.addSeparator = [&listed] { listed.rows << QStringLiteral("-"); };
    listed.compare.addRow = [&listed, cut](const QByteArray &folder, quint32, const TFindData &file,
                                           bool, int) {
        const QByteArray path = folder + file.name;
        listed.rows << QString::fromUtf8(path.mid(cut));
        // A row shows what the walk saw: the same as a look at the file now.
        struct stat st
        {
        };
        const auto now = ReadFindData(path);
        if (!now || ::lstat(path.constData(), &st) != 0 || file.size != now->size ||
            file.lastWriteTime != now->lastWriteTime || file.creationTime != now->creationTime ||
            file.attributes != now->attributes || file.device != quint64(st.st_dev) ||
            file.inode != quint64(st.st_ino))
            listed.wrongFacts << QString::fromUtf8(path.mid(cut));
        return true;
    };
    listed.compare.status = [&listed](int panel, const QString &text) {
        listed.status << QString::number(panel) + ' ' + text;
    };
}

void scan(Listed &listed, const FinderTree &tree, const DuplicateScanOptions &options,
          const QList<DuplicateDrive> &drives = {})
{
    wire(listed, tree);
    TKvFindFile finder;
    DuplicateScan duplicateScan;
    duplicateScan.run(finder,
                      drives.isEmpty() ? QList<DuplicateDrive>{{tree.root(), false}} : drives,
                      options, listed.compare);
    QCOMPARE(listed.wrongFacts, QStringList{});
}

void makeSparse(const QByteArray &path, qint64 size, qint64 markAt, char mark)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::ftruncate(fd, size), 0);
    QCOMPARE(::pwrite(fd, &mark, 1, markAt), ssize_t(1));
    ::close(fd);
}

} // namespace

class TestDuplicateScan : public QObject
{
    Q_OBJECT
private slots:
    void signature_data();
    void signature();
    void sets_data();
    void sets();
    void manySlicesSortAsOne();
    void pathPiecesCompareAsWholePaths();
    void largeSizesKeepTheirOrder();
    void filesOver4GiBAreNotCutTo32Bits();
    void changedAndVanishedFilesAreLeftOut();
    void stopEndsTheComparisonAndKeepsTheSets();
    void drivePlan_data();
    void drivePlan();
    void removableDriveHoldsTheMasters();
    void protectedFoldersAreSkipped_data();
    void protectedFoldersAreSkipped();
    void manyFilesSignedOnTwoThreads();
    void stopWhileSigning();
    void deepBranchesWalkedOnThePool();
    void alikeAtBothEndsSplitByTheMiddle_data();
    void alikeAtBothEndsSplitByTheMiddle();
};

void TestDuplicateScan::signature_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint32>("expected");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("under four bytes") << QByteArray("abc") << 0;
    QTest::newRow("tail bytes ignored") << QByteArray("\x01\x00\x00\x00\xff", 5) << 1;
    QTest::newRow("little-endian words")
        << QByteArray("\x01\x02\x00\x00\x03\x00\x00\x00", 8) << 0x0204;
    QTest::newRow("wraps, top bit cleared")
        << QByteArray("\xff\xff\xff\xff\xff\xff\xff\xff", 8) << 0x7FFFFFFE;
    QByteArray long1(600, '\0');
    long1[0] = 7;
    long1[520] = 9; // past the first 512 bytes: not summed
    QTest::newRow("first 512 bytes only") << long1 << 7;
}

void TestDuplicateScan::signature()
{
    QFETCH(QByteArray, content);
    QFETCH(qint32, expected);
    FinderTree tree;
    tree.file("f", content);
    QCOMPARE(FileSignature(content.size(), tree.path("f"), false), expected);
    // By date/time: the DOS stamp of the modification time, local time.
    const QDateTime when(QDate(2001, 2, 3), QTime(4, 5, 6));
    tree.setModified("f", when);
    const qint32 stamp =
        content.isEmpty()
            ? 0
            : qint32(((21u << 9 | 2u << 5 | 3u) << 16 | (4u << 11 | 5u << 5 | 3u)) & 0x7FFFFFFF);
    QCOMPARE(FileSignature(content.size(), tree.path("f"), true), stamp);
}

void TestDuplicateScan::sets_data()
{
    QTest::addColumn<QStringList>("fixture");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<qint64>("files");
    QTest::addColumn<qint64>("bytes");

    const QString all = QStringLiteral("snte");
    QTest::newRow("two equal files")
        << QStringList{"x/a.txt=0123456789@1000000000", "y/a.txt=0123456789@1000000000"} << all
        << QStringList{"-", "x/a.txt", "y/a.txt"} << 1LL << 10LL;
    QTest::newRow("other time, date/time required")
        << QStringList{"x/a.txt=0123456789@1000000000", "y/a.txt=0123456789@1000000100"} << all
        << QStringList{} << 0LL << 0LL;
    QTest::newRow("other name, name required")
        << QStringList{"x/a.txt=0123456789", "y/b.txt=0123456789"} << "sne" << QStringList{} << 0LL
        << 0LL;
    QTest::newRow("other name, name not required")
        << QStringList{"x/a.txt=0123456789", "y/b.txt=0123456789"} << "se"
        << QStringList{"-", "x/a.txt", "y/b.txt"} << 1LL << 10LL;
    QTest::newRow("by name alone: contents unread, no bytes")
        << QStringList{"x/A.txt=one", "y/a.TXT=two and more", "z/b.txt=one"} << "n"
        << QStringList{"-", "x/A.txt", "y/a.TXT"} << 1LL << 0LL;
    QTest::newRow("empty files form one set")
        << QStringList{"x/e=", "y/e=", "z/e="} << "snt" << QStringList{"-", "x/e", "y/e", "z/e"}
        << 2LL << 0LL;
    QTest::newRow("empty files skipped")
        << QStringList{"x/e=", "y/e="} << all << QStringList{} << 0LL << 0LL;
    QTest::newRow("desktop.ini folder left out, its subfolder searched")
        << QStringList{"x/desktop.ini=", "x/f=12345", "x/sub/f=12345", "y/f=12345"} << "s"
        << QStringList{"-", "x/sub/f", "y/f"} << 1LL << 5LL;
    QTest::newRow("SYSBCKUP and mm2048.dat left out")
        << QStringList{"sysbckup/f=12345", "y/f=12345", "x/mm2048.dat=xy", "y/mm2048.dat=xy"} << "s"
        << QStringList{} << 0LL << 0LL;
    QTest::newRow("names that are part of mm2048.dat are taken")
        << QStringList{"x/a=12345", "y/a=12345", "x/dat=xy", "y/dat=xy"} << "s"
        << QStringList{"-", "x/a", "y/a", "-", "x/dat", "y/dat"} << 2LL << 7LL;
    // B and D equal A, C and E equal each other: two sets, each listed once.
    QTest::newRow("two sets in one run")
        << QStringList{"fa=1111x", "fb=1111x", "fc=1111y", "fd=1111x", "fe=1111y"} << "s"
        << QStringList{"-", "fa", "fb", "fd", "-", "fc", "fe"} << 3LL << 15LL;
    QByteArray head(512, 'h');
    QTest::newRow("equal but for the last byte, equal times")
        << QStringList{"x/f=" + head + "tail1@1000000000", "y/f=" + head + "tail2@1000000000"}
        << all << QStringList{} << 0LL << 0LL;
    QTest::newRow("hard links are one file")
        << QStringList{"x/f=12345", "y/f<x/f", "z/f<x/f"} << "s" << QStringList{} << 0LL << 0LL;
    QTest::newRow("hard link beside a real copy")
        << QStringList{"x/f=12345", "y/f<x/f", "z/f=12345"} << "s" << QStringList{"-", "x/f", "z/f"}
        << 1LL << 5LL;
    QTest::newRow("symlinked folder and symlinked file")
        << QStringList{"x/f=12345", "y->x", "z/f->../x/f"} << "s" << QStringList{} << 0LL << 0LL;
}

void TestDuplicateScan::sets()
{
    QFETCH(QStringList, fixture);
    QFETCH(QString, options);
    QFETCH(QStringList, rows);
    FinderTree tree;
    build(tree, fixture);
    Listed listed;
    scan(listed, tree, optionsFrom(options));
    QCOMPARE(listed.rows, rows);
    QTEST(listed.compare.FoundFileCount, "files");
    QTEST(listed.compare.FoundByteTotal, "bytes");
}

// Past one slice the keys are sorted in parallel slices merged in rounds:
// the order is the same as one sort's, and no key is lost or doubled.
void TestDuplicateScan::manySlicesSortAsOne()
{
    DuplicateCollector collector;
    collector.begin(optionsFrom("s"));
    collector.ChDir("/nowhere/");
    std::vector<qint64> sizes;
    quint64 state = 12345;
    for (int i = 0; i < 100003; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        TFindData data;
        data.name = "f";
        data.size = qint64(state >> 40) % 5000 + 1;
        sizes.push_back(data.size);
        collector.AddFile(data);
    }
    collector.sortKeys();
    std::sort(sizes.begin(), sizes.end());
    std::vector<qint64> sorted;
    for (const Candidate &c : collector.CandidateKeys)
        sorted.push_back(c.size);
    QVERIFY(sorted == sizes);
}

// Sets are ordered by path without making the paths: a folder and a name,
// split anywhere, compare as the whole path does.
void TestDuplicateScan::pathPiecesCompareAsWholePaths()
{
    const QList<QByteArray> paths{"/a/B/x",  "/a/b/x",     "/a/b/", "/a/b_",
                                  "/A/b/xy", "/a/b/x\xff", "/a/bx", ""};
    for (const QByteArray &a : paths) {
        for (const QByteArray &b : paths) {
            const int folded = compareFoldedAscii(QByteArrayView(a), QByteArrayView(b));
            const int bytes = a < b ? -1 : (b < a ? 1 : 0);
            for (qsizetype i = 0; i <= a.size(); ++i) {
                for (qsizetype j = 0; j <= b.size(); ++j) {
                    const QByteArrayView fa(a.constData(), i), na(a.constData() + i, a.size() - i);
                    const QByteArrayView fb(b.constData(), j), nb(b.constData() + j, b.size() - j);
                    QCOMPARE(comparePathPieces(fa, na, fb, nb, true), folded);
                    QCOMPARE(comparePathPieces(fa, na, fb, nb, false), bytes);
                }
            }
        }
    }
}

void TestDuplicateScan::largeSizesKeepTheirOrder()
{
    DuplicateCollector collector;
    DuplicateScanOptions options = optionsFrom("s");
    collector.begin(options);
    collector.ChDir("/nowhere/");
    for (qint64 size : {qint64(10), qint64(5) << 30, qint64(2147483647), qint64(3) << 30,
                        qint64(1000000000), qint64(999999999)}) {
        TFindData data;
        data.name = "f";
        data.size = size;
        collector.AddFile(data);
    }
    collector.sortKeys();
    QList<qint64> sizes;
    for (const Candidate &c : collector.CandidateKeys)
        sizes << c.size;
    QCOMPARE(sizes, (QList<qint64>{10, 999999999, 1000000000, 2147483647, qint64(3) << 30,
                                   qint64(5) << 30}));
}

void TestDuplicateScan::filesOver4GiBAreNotCutTo32Bits()
{
    FinderTree tree;
    for (const char *folder : {"x", "y"})
        tree.folder(folder);
    const qint64 big = (qint64(4) << 30) + 1;
    // Same size as each other, and the size modulo 2^32 equals the small file's.
    makeSparse(tree.path("x/big"), big, 0, 'x');
    makeSparse(tree.path("y/big"), big, 1 << 20, 'y'); // differs past the signature
    tree.file("z/big", "x");
    Listed listed;
    scan(listed, tree, optionsFrom("s"));
    QCOMPARE(listed.rows, QStringList{});
    QVERIFY2(listed.status.contains(QStringLiteral("1 Comparing 4,294,967,297 byte files ...")),
             qPrintable(listed.status.join('|')));
    // A hard link of the big file is dropped before a byte is compared.
    QCOMPARE(::link(tree.path("x/big").constData(), tree.path("z/big2").constData()), 0);
    Listed again;
    scan(again, tree, optionsFrom("s"));
    QCOMPARE(again.rows, QStringList{});
}

void TestDuplicateScan::changedAndVanishedFilesAreLeftOut()
{
    FinderTree tree;
    build(tree, {"a/f=12345", "b/f=12345", "c/f=12345", "d/g=abcde", "e/g=abcde"});
    Listed listed;
    wire(listed, tree);
    TKvFindFile finder;
    DuplicateScan scan;
    const DuplicateScanOptions options = optionsFrom("s");
    scan.collect(finder, {{tree.root(), false}}, options);
    QCOMPARE(scan.collector.CandidateKeys.size(), size_t(5));
    tree.file("b/f", "123456");              // grew
    QCOMPARE(::unlink(tree.path("e/g")), 0); // vanished
    listed.compare.run(scan.collector, options, &scan.ScanContinue);
    QCOMPARE(listed.rows, (QStringList{"-", "a/f", "c/f"}));
}

void TestDuplicateScan::stopEndsTheComparisonAndKeepsTheSets()
{
    FinderTree tree;
    for (int i = 0; i < 20; ++i) {
        const QByteArray content(100 + i, 'c');
        tree.file("a/" + QByteArray::number(i), content);
        tree.file("b/" + QByteArray::number(i), content);
    }
    Listed listed;
    wire(listed, tree);
    TKvFindFile finder;
    DuplicateScan scan;
    const auto inner = listed.compare.addRow;
    listed.compare.addRow = [&](const QByteArray &folder, quint32 folderIndex,
                                const TFindData &file, bool master, int set) {
        if (set == 3) scan.Stop(finder); // as the Stop button does from the pump
        return inner(folder, folderIndex, file, master, set);
    };
    scan.run(finder, {{tree.root(), false}}, optionsFrom("s"), listed.compare);
    QCOMPARE(listed.compare.SetCount, 3);
    QCOMPARE(listed.rows.size(), 9);
    QVERIFY(listed.status.contains(QStringLiteral("1 Comparison interrupted")));
    QVERIFY(scan.collector.CandidateKeys.empty());
}

void TestDuplicateScan::drivePlan_data()
{
    QTest::addColumn<bool>("floppyIsMaster");
    QTest::addColumn<QString>("drives"); // r removable, f fixed, in the order chosen
    QTest::addColumn<QString>("plan");   // drive index and phase
    QTest::newRow("off") << false << "frf"
                         << "0N 1N 2N";
    QTest::newRow("no removable") << true << "ff"
                                  << "0N 1N";
    QTest::newRow("only removable") << true << "rr"
                                    << "0N 1N";
    QTest::newRow("masters first") << true << "frfr"
                                   << "1M 3M 0F 2F";
}

void TestDuplicateScan::drivePlan()
{
    QFETCH(bool, floppyIsMaster);
    QFETCH(QString, drives);
    QList<DuplicateDrive> chosen;
    for (int i = 0; i < drives.size(); ++i)
        chosen.append({QByteArray::number(i), drives[i] == 'r'});
    QStringList plan;
    for (const auto &[drive, phase] : DuplicateScan::drivePlan(chosen, floppyIsMaster))
        plan << QString::fromLatin1(drive.root) + "NMF"[phase];
    QTEST(plan.join(' '), "plan");
}

void TestDuplicateScan::removableDriveHoldsTheMasters()
{
    FinderTree tree;
    build(tree, {"stick/f=12345", "disk/f=12345", "disk/x/f=12345", "disk/b1=zzzzz",
                 "disk/b2=zzzzz", "disk/c1=123456", "disk/c2=123456"});
    Listed listed;
    scan(listed, tree, optionsFrom("s"), {{tree.path("disk"), false}, {tree.path("stick"), true}});
    // b1/b2 share the stick's size but not its content; c1/c2 not its size.
    QCOMPARE(listed.rows, (QStringList{"-", "stick/f", "disk/f", "disk/x/f"}));
}

void TestDuplicateScan::protectedFoldersAreSkipped_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<qint64>("skipped");
    QTest::addColumn<QStringList>("deeper"); // more files, below the levels the scan splits at
    QTest::newRow("protected") << true << QStringList{"-", "home/f", "var/tmp/f"} << 2LL
                               << QStringList{};
    QTest::newRow("protection off")
        << false
        << QStringList{"-", "home/f", "usr/share/f", "usr/share/x/f", "var/lib/f", "var/tmp/f"}
        << 0LL << QStringList{};
    // Branches walked on other threads: a protected one still counts once.
    QTest::newRow("protected, deep branches")
        << true << QStringList{"-", "home/f", "home/u/a/b/f", "home/u/c/d/f", "var/tmp/f"} << 2LL
        << QStringList{"usr/share/a/b/c/f=12345", "var/lib/a/b/f=12345", "home/u/a/b/f=12345",
                       "home/u/c/d/f=12345"};
}

void TestDuplicateScan::protectedFoldersAreSkipped()
{
    QFETCH(bool, enabled);
    QFETCH(QStringList, deeper);
    FinderTree tree;
    build(tree, {"usr/share/f=12345", "usr/share/x/f=12345", "var/lib/f=12345", "var/tmp/f=12345",
                 "home/f=12345"});
    build(tree, deeper);
    Listed listed;
    wire(listed, tree);
    TKvFindFile finder;
    DuplicateScan scan;
    // A fake system under the tree: its usr and var are the system's.
    scan.collector.protection = cleaning::SystemProtection(tree.root(), tree.path("no-dpkg"));
    scan.collector.protection.enabled = enabled;
    scan.run(finder, {{tree.root(), false}}, optionsFrom("s"), listed.compare);
    QTEST(listed.rows, "rows");
    QTEST(scan.collector.ProtectedFoldersSkipped, "skipped");
}

// Enough candidates of one size that the files are signed on two threads:
// every copy is found, and nothing else.
void TestDuplicateScan::manyFilesSignedOnTwoThreads()
{
    FinderTree tree;
    for (int i = 0; i < 3000; ++i) {
        tree.file("d" + QByteArray::number(i % 60) + "/f" + QByteArray::number(i),
                  QByteArray::number(i).rightJustified(8, '0'));
    }
    QStringList expected;
    for (int i = 0; i < 3000; i += 300) {
        tree.file("copies/c" + QByteArray::number(i), QByteArray::number(i).rightJustified(8, '0'));
        expected << QStringLiteral("copies/c%1|d%2/f%1").arg(i).arg(i % 60);
    }
    Listed listed;
    scan(listed, tree, optionsFrom("s"));
    QStringList sets;
    for (qsizetype i = 0; i + 2 < listed.rows.size(); i += 3) {
        QCOMPARE(listed.rows[i], QStringLiteral("-"));
        sets << listed.rows[i + 1] + '|' + listed.rows[i + 2];
    }
    QCOMPARE(listed.rows.size(), expected.size() * 3);
    sets.sort();
    expected.sort();
    QCOMPARE(sets, expected);
}

void TestDuplicateScan::stopWhileSigning()
{
    FinderTree tree;
    for (int i = 0; i < 3000; ++i)
        tree.file("d" + QByteArray::number(i % 60) + "/f" + QByteArray::number(i), "same");
    Listed listed;
    wire(listed, tree);
    TKvFindFile finder;
    DuplicateScan scan;
    int pumps = 0;
    listed.compare.pump = [&] {
        // The Stop button at the first look the signing takes (a few
        // milliseconds in: the pool's threads read meanwhile).
        if (++pumps == 1) scan.Stop(finder);
    };
    scan.run(finder, {{tree.root(), false}}, optionsFrom("s"), listed.compare);
    QCOMPARE(listed.rows, QStringList{});
    QVERIFY(listed.status.contains(QStringLiteral("1 Comparison interrupted")));
    QVERIFY2(pumps < 40, qPrintable(QString::number(pumps))); // not a file signed after it
    QVERIFY(scan.collector.CandidateKeys.empty());
}

// Folders three levels down are walked on the pool, each by a finder of its
// own: their files join the sets of the rest, a hard link across branches is
// still one file, a folder of the skip list or holding a desktop.ini is
// still skipped, a link back up the tree is not followed, and the folders
// seen are counted once.
void TestDuplicateScan::deepBranchesWalkedOnThePool()
{
    FinderTree tree;
    QStringList lines;
    for (int i = 0; i < 30; ++i)
        lines << QStringLiteral("t/b%1/c/d%2/f%1=unique file %1").arg(i).arg(i % 3);
    lines << "top=same bytes"
          << "t/b1/c/d1/copy=same bytes"
          << "t/b7/c/d1/deep/er/copy=same bytes"
          << "t/b9/c/d0/link<t/b1/c/d1/copy"
          << "t/b3/c/skipme/x/copy=same bytes"
          << "t/b4/c/d1/copy=same bytes"
          << "t/b4/c/d1/desktop.ini=[.ShellClassInfo]"
          << "t/b5/c/up->../../..";
    build(tree, lines);
    DuplicateScanOptions options = optionsFrom("s");
    options.foldersToSkip = {{QStringLiteral("skipme"), true}};
    Listed listed;
    wire(listed, tree);
    TKvFindFile finder;
    DuplicateScan duplicateScan;
    duplicateScan.run(finder, {{tree.root(), false}}, options, listed.compare);
    QCOMPARE(listed.rows, (QStringList{"-", "t/b1/c/d1/copy", "t/b7/c/d1/deep/er/copy", "top"}));
    // The root, t, 30 b*, 30 c, 30 d*, deep, er, skipme, x.
    QCOMPARE(finder.FoldersSeen, 1 + 1 + 30 * 3 + 4);
}

void TestDuplicateScan::alikeAtBothEndsSplitByTheMiddle_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("read whole when signed") << 8192;
    QTest::newRow("just past head and tail") << 8193;
    QTest::newRow("a few blocks") << 3 * 1024 * 1024 + 5;
}

// Files alike in their first and last 4 KiB (the trap the short hash cannot
// see) are told apart by the whole-content hash; a hard link stays one file.
void TestDuplicateScan::alikeAtBothEndsSplitByTheMiddle()
{
    QFETCH(int, size);
    FinderTree tree;
    QByteArray content(size, 'x');
    for (int i = 0; i < size; i += 97)
        content[i] = char('a' + i % 26);
    QByteArray other = content;
    other[size / 2] = '!';
    tree.file("a/one", content);
    tree.file("b/one", content);
    tree.file("c/two", other);
    tree.file("d/two", other);
    tree.file("e/three", other.left(size - 1) + '?'); // differs in its last byte only
    build(tree, {"f/link<a/one"});
    Listed listed;
    scan(listed, tree, optionsFrom("s"));
    QCOMPARE(listed.rows, (QStringList{"-", "a/one", "b/one", "-", "c/two", "d/two"}));
}

CLARIVEX_TEST_MAIN_CORE(TestDuplicateScan)
#include "tst_duplicate_scan.moc"
