#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QDateTime>

using namespace clarivex::test;

using Args = QList<QByteArray>;

class TestCliFind : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void printsPathsInReportOrder();
    void options_data();
    void options();
    void nullAndCount();
    void exitCodes_data();
    void exitCodes();
    void rawBytesInAndOut();

private:
    std::unique_ptr<FinderTree> m_tree;
};

void TestCliFind::initTestCase()
{
    m_tree = std::make_unique<FinderTree>();
    FinderTree &t = *m_tree;
    t.file("a.tmp", "hello world");
    t.file("b.txt", QByteArray(200, 'b'));
    t.file(".hidden.tmp", "x");
    t.file("sub/c.TMP", "HELLO");
    t.file("sub/deeper/d.bak", "old");
    t.setModified("b.txt", QDateTime(QDate(2001, 2, 3), QTime(12, 0)));
}

void TestCliFind::printsPathsInReportOrder()
{
    const CliResult result = runCli(Args{"find", "--mask", "*.TMP;*.bak", m_tree->root()});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.err.isEmpty());
    QList<QByteArray> lines = result.out.split('\n');
    QCOMPARE(lines.takeLast(), QByteArray()); // a newline after the last path too
    QCOMPARE(lines.size(), 4);
    // Both files of the root first (in the folder's order), then below.
    QCOMPARE(QSet<QByteArray>(lines.begin(), lines.begin() + 2),
             (QSet<QByteArray>{m_tree->path("a.tmp"), m_tree->path(".hidden.tmp")}));
    QCOMPARE(lines[2], m_tree->path("sub/c.TMP"));
    QCOMPARE(lines[3], m_tree->path("sub/deeper/d.bak"));
}

void TestCliFind::options_data()
{
    QTest::addColumn<Args>("options");
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::newRow("no recursion") << Args{"--no-recurse", "--mask", "*.tmp"}
                                  << QList<QByteArray>{".hidden.tmp", "a.tmp"};
    QTest::newRow("attributes: no hidden")
        << Args{"--attributes", "61", "--mask", "*.tmp"} << QList<QByteArray>{"a.tmp", "sub/c.TMP"};
    QTest::newRow("attribute letters: no hidden") << Args{"--attributes", "RSA", "--mask", "*.tmp"}
                                                  << QList<QByteArray>{"a.tmp", "sub/c.TMP"};
    QTest::newRow("attribute letters: hidden too, any case")
        << Args{"--attributes", "ah", "--mask", "*.tmp"}
        << QList<QByteArray>{".hidden.tmp", "a.tmp", "sub/c.TMP"};
    QTest::newRow("attribute letters without A: nothing")
        << Args{"--attributes", "RHS", "--mask", "*.tmp"} << QList<QByteArray>{};
    QTest::newRow("sizes") << Args{"--min-size", "5", "--max-size", "11"}
                           << QList<QByteArray>{"a.tmp", "sub/c.TMP"};
    QTest::newRow("text folds case")
        << Args{"--text", "hello"} << QList<QByteArray>{"a.tmp", "sub/c.TMP"};
    QTest::newRow("dates") << Args{"--from", "01-01-2001", "--to", "31-12-2001"}
                           << QList<QByteArray>{"b.txt"};
    QTest::newRow("masks with a comma")
        << Args{"--mask", "*.bak, *.txt"} << QList<QByteArray>{"b.txt", "sub/deeper/d.bak"};
}

void TestCliFind::options()
{
    QFETCH(Args, options);
    QFETCH(QList<QByteArray>, expected);
    const CliResult result = runCli(Args{"find"} + options + Args{m_tree->root()});
    QCOMPARE(result.exitCode, 0);
    QList<QByteArray> lines = result.out.split('\n');
    lines.removeLast();
    for (QByteArray &line : lines)
        line = line.mid(m_tree->root().size() + 1);
    std::sort(lines.begin(), lines.end());
    QCOMPARE(lines, expected);
}

void TestCliFind::nullAndCount()
{
    CliResult result = runCli(Args{"find", "--null", "--mask", "*.bak", m_tree->root()});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, m_tree->path("sub/deeper/d.bak") + '\0');
    result = runCli(Args{"find", "--count", "--mask", "*.tmp", m_tree->root() + "/"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("3\n"));
}

void TestCliFind::exitCodes_data()
{
    QTest::addColumn<Args>("args");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("missing folder") << Args{"find", "/nonexistent/clarivex"} << 1;
    QTest::newRow("unknown option") << Args{"find", "--bogus", "ROOT"} << 2;
    QTest::newRow("attributes above 63") << Args{"find", "--attributes", "64", "ROOT"} << 2;
    QTest::newRow("attribute letter unknown") << Args{"find", "--attributes", "RX", "ROOT"} << 2;
    QTest::newRow("attribute letters and digits")
        << Args{"find", "--attributes", "1H", "ROOT"} << 2;
    QTest::newRow("size not a number") << Args{"find", "--min-size", "5k", "ROOT"} << 2;
    QTest::newRow("size beyond 32 bits") << Args{"find", "--max-size", "4294967296", "ROOT"} << 2;
    QTest::newRow("date in the wrong form") << Args{"find", "--from", "2001-01-01", "ROOT"} << 2;
    QTest::newRow("value missing") << Args{"find", "ROOT", "--mask"} << 2;
    QTest::newRow("no folder") << Args{"find", "--count"} << 2;
    QTest::newRow("two folders") << Args{"find", "ROOT", "ROOT"} << 2;
}

void TestCliFind::exitCodes()
{
    QFETCH(Args, args);
    QFETCH(int, exitCode);
    for (QByteArray &arg : args) {
        if (arg == "ROOT") arg = m_tree->root();
    }
    const CliResult result = runCli(args);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(result.out.isEmpty());
    if (exitCode == 2)
        QVERIFY2(result.err.contains("usage: clarivex-cli find"), result.err.constData());
}

void TestCliFind::rawBytesInAndOut()
{
    FinderTree tree;
    tree.file("d\xE9j\xE0/caf\xE9.tmp");
    const CliResult result = runCli(Args{"find", tree.path("d\xE9j\xE0")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, tree.path("d\xE9j\xE0/caf\xE9.tmp") + '\n');
}

CLARIVEX_TEST_MAIN_CORE(TestCliFind)
#include "tst_cli_find.moc"
