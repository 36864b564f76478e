#include "core/scanners/file_groups.h"
#include "support/test_main.h"

using namespace clarivex;

class TestFileGroups : public QObject
{
    Q_OBJECT
private slots:
    void factoryGroupsColourTheirFiles_data();
    void factoryGroupsColourTheirFiles();
    void laterGroupWins();
    void maskTextJoinsCheckedGroups();
    void saveAddsTheSeparator();
    void sizeFilter_data();
    void sizeFilter();
};

void TestFileGroups::factoryGroupsColourTheirFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("colour");
    QTest::newRow("~df1a2b.tmp") << "~df1a2b.tmp"
                                 << "clBlue";
    QTest::newRow("report.bak") << "report.bak"
                                << "clGray";
    QTest::newRow("file0001._dd") << "file0001._dd"
                                  << "clPurple";
    QTest::newRow("bootlog.prv") << "bootlog.prv"
                                 << "clSilver";
    QTest::newRow("help.gid") << "help.gid"
                              << "clTeal";
    QTest::newRow("setup.ex$") << "setup.ex$"
                               << "clBlue";
    QTest::newRow("no extension, no match") << "makefile"
                                            << "";
}

void TestFileGroups::factoryGroupsColourTheirFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, colour);
    const QList<FileGroup> groups = factoryFileGroups();
    const int group = colourGroupOf(name, groups);
    QCOMPARE(group < 0 ? QString() : groups[group].color, colour);
}

void TestFileGroups::laterGroupWins()
{
    QList<FileGroup> groups = factoryFileGroups();
    groups.append({"Mine", "*.t;", "clRed", true});
    // '.t' is in '.tmp' and '.txt' of earlier groups too; the last one wins.
    QCOMPARE(colourGroupOf("a.t", groups), 6);
    groups[6].checked = false; // unchecked groups colour rows all the same
    QCOMPARE(colourGroupOf("a.t", groups), 6);
    groups.removeLast();
    QCOMPARE(colourGroupOf("a.t", groups), 5);
}

void TestFileGroups::maskTextJoinsCheckedGroups()
{
    QList<FileGroup> groups = factoryFileGroups();
    for (FileGroup &g : groups)
        g.checked = false;
    QCOMPARE(scanMaskText(groups), QString());
    groups[1].checked = true;
    groups[3].checked = true;
    QCOMPARE(scanMaskText(groups), QStringLiteral("*.BAK;*.OLD;*.GID;*.FTS;*.FTG;"));
}

void TestFileGroups::saveAddsTheSeparator()
{
    QCOMPARE(savedMasks("*.log"), QStringLiteral("*.log;"));
    QCOMPARE(savedMasks("*.log;"), QStringLiteral("*.log;"));
    QCOMPARE(savedMasks(""), QString());
}

void TestFileGroups::sizeFilter_data()
{
    QTest::addColumn<bool>("use");
    QTest::addColumn<bool>("isMax");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minSize");
    QTest::addColumn<int>("maxSize");
    QTest::newRow("off") << false << true << "100" << 0 << 2147483647;
    QTest::newRow("min 100") << true << false << "100" << 102400 << 2147483647;
    QTest::newRow("max 100") << true << true << "100" << 0 << 102400;
    QTest::newRow("max not a number") << true << true << "lots" << 0 << 2097151 * 1024;
    QTest::newRow("min not a number") << true << false << "lots" << 0 << 2147483647;
    QTest::newRow("max too large is held") << true << true << "99999999" << 0 << 2097151 * 1024;
    QTest::newRow("negative min") << true << false << "-5" << 0 << 2147483647;
}

void TestFileGroups::sizeFilter()
{
    QFETCH(bool, use);
    QFETCH(bool, isMax);
    QFETCH(QString, text);
    QFETCH(int, minSize);
    QFETCH(int, maxSize);
    const SizeBounds bounds = sizeBounds(use, isMax, text);
    QCOMPARE(bounds.minSize, minSize);
    QCOMPARE(bounds.maxSize, maxSize);
}

CLARIVEX_TEST_MAIN_CORE(TestFileGroups)
#include "tst_file_groups.moc"
