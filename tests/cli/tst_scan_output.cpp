// clarivex-cli scan temp output that scripts read: names that would break a
// row, NUL-separated rows, a tree deeper than PATH_MAX under a descriptor
// limit, and folders it may not read.

#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/process_limits.h"
#include "support/test_main.h"

#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

using namespace clarivex::test;

namespace {
CliResult scanTemp(const QByteArray &root, const QList<QByteArray> &more = {})
{
    return runCli(QList<QByteArray>{"scan", "temp", "--drive", root} + more);
}

QList<QByteArray> rows(const QByteArray &out)
{
    QList<QByteArray> lines = out.split('\n');
    lines.removeLast(); // after the last line end
    lines.removeLast(); // the totals
    return lines;
}
} // namespace

class TestScanOutput : public QObject
{
    Q_OBJECT
private slots:
    void namesThatBreakRowsAreEscaped();
    void nullSeparatedRowsKeepNamesAsTheyAre();
    void deepTreeUnderDescriptorLimit();
    void unreadableFoldersOnStderr();
};

void TestScanOutput::namesThatBreakRowsAreEscaped()
{
    FinderTree tree;
    tree.file("c/tab\there.tmp");
    tree.file("c/line\nend.tmp");
    tree.file("c/back\\slash.tmp");
    tree.file("c/sub\tdir/plain.tmp");
    const CliResult result = scanTemp(tree.path("c"));
    QCOMPARE(result.exitCode, 0);
    QList<QByteArray> names;
    for (const QByteArray &row : rows(result.out)) {
        const QList<QByteArray> fields = row.split('\t');
        QCOMPARE(fields.size(), 6);
        names << fields[1].mid(tree.path("c").size()) + fields[0];
    }
    std::sort(names.begin(), names.end());
    QCOMPARE(names, (QList<QByteArray>{"/back\\\\slash.tmp", "/line\\nend.tmp",
                                       "/sub\\tdir/plain.tmp", "/tab\\there.tmp"}));
    QVERIFY(result.out.endsWith("Files: 4\tBytes: 0\n"));
}

void TestScanOutput::nullSeparatedRowsKeepNamesAsTheyAre()
{
    FinderTree tree;
    tree.file("c/line\nend\t.tmp", "12");
    tree.file("c/\xff.tmp", "1");
    const CliResult result = scanTemp(tree.path("c"), {"--null"});
    QCOMPARE(result.exitCode, 0);
    QList<QByteArray> fields = result.out.split('\0');
    QCOMPARE(fields.takeLast(), QByteArray()); // every field ends with a NUL
    QCOMPARE(fields.size(), 12);
    QSet<QByteArray> names{fields[0], fields[6]};
    QCOMPARE(names, (QSet<QByteArray>{"line\nend\t.tmp", "\xff.tmp"}));
    QCOMPARE(fields[1], tree.path("c/"));
    QCOMPARE(result.err, QByteArray("Files: 2\tBytes: 3\n"));
    QCOMPARE(runCli(QList<QByteArray>{"scan", "temp", "--null", "--json"}).exitCode, 2);
}

void TestScanOutput::deepTreeUnderDescriptorLimit()
{
    FinderTree tree;
    tree.folder("deep");
    const int files = buildDeepTree(tree.path("deep"), 1300, 100, "level-folder");
    CliResult result;
    {
        const ScopedLimit limit(RLIMIT_NOFILE, 1024); // inherited by the program
        QVERIFY(limit.ok());
        result = scanTemp(tree.path("deep"));
    }
    removeDeepTree(tree.path("deep"));
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(rows(result.out).size(), files);
    QVERIFY(result.out.endsWith("Files: " + QByteArray::number(files) +
                                "\tBytes: " + QByteArray::number(files) + "\n"));
}

void TestScanOutput::unreadableFoldersOnStderr()
{
    FinderTree tree;
    tree.file("c/open/a.tmp");
    tree.file("c/shut/b.tmp");
    QVERIFY(::chmod(tree.path("c/shut").constData(), 0) == 0);
    // Root reads any folder; without its override it is held to the modes.
    QProcess process;
    QStringList args{"scan", "temp", "--drive", QFile::decodeName(tree.path("c"))};
    if (::geteuid() == 0) {
        args.prepend(CLARIVEX_CLI_PATH);
        args.prepend("--bounding-set=-dac_override,-dac_read_search");
        process.start("setpriv", args);
    } else {
        process.start(CLARIVEX_CLI_PATH, args);
    }
    QVERIFY(finishes(process, "clarivex-cli scan temp with a folder it may not read"));
    if (process.exitCode() != 0 && ::geteuid() == 0) QSKIP("setpriv could not drop the override");
    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(rows(out).size(), 1);
    QCOMPARE(err, "clarivex-cli: cannot read " + tree.path("c/shut/") +
                      ": Permission denied\nclarivex-cli: folders that could not be read: 1\n");
}

CLARIVEX_TEST_MAIN_CORE(TestScanOutput)
#include "tst_scan_output.moc"
