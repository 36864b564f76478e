// clarivex-cli scan duplicates --clean [--dry-run]: the masters stay, the
// duplicates go, and a duplicate that no longer equals its master is kept.

#include "core/base/settings_types.h"
#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <sys/stat.h>
#include <sys/time.h>

using namespace clarivex;
using namespace clarivex::test;

namespace {

bool exists(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

// Delete mode; sets by equal content, or by name alone with `byNameOnly`.
void storeOptions(bool byNameOnly)
{
    {
        TRegIniFile ini{QString::fromLatin1(kSettingsRoot)};
        ini.WriteNumber("Settings\\Options", "DeleteType", 1);
        ini.WriteFlag("Settings\\Duplicate Files", "CheckFileTimeStamp", false);
        ini.WriteFlag("Settings\\Duplicate Files", "CheckFileName", byNameOnly);
        ini.WriteFlag("Settings\\Duplicate Files", "CheckFileSize", !byNameOnly);
    }
    RegistryDatabase::closeInstance();
}

} // namespace

class TestDuplicateClean : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void mastersStayDuplicatesGo_data();
    void mastersStayDuplicatesGo();
    void duplicateUnlikeItsMasterIsKept();
    void nothingFoundCleansNothing();
    void linkedDuplicatesKeepTheirPathsUntilUndo();

private:
    std::unique_ptr<FinderTree> m_tree;
};

void TestDuplicateClean::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
    m_tree = std::make_unique<FinderTree>();
}

void TestDuplicateClean::mastersStayDuplicatesGo_data()
{
    QTest::addColumn<bool>("dryRun");
    QTest::newRow("clean") << false;
    QTest::newRow("dry run") << true;
}

void TestDuplicateClean::mastersStayDuplicatesGo()
{
    QFETCH(bool, dryRun);
    storeOptions(false);
    for (const char *path : {"c/x/a", "c/y/a", "c/z/a"})
        m_tree->file(path, "0123456789");
    m_tree->file("c/x/b", "xyz");
    m_tree->file("c/y/c", "xyz");
    m_tree->file("c/y/d", "xyw"); // one size, other content: no set
    QList<QByteArray> args{"scan", "duplicates", "--drive", m_tree->path("c"), "--clean"};
    if (dryRun) args << "--dry-run";
    const CliResult result = runCli(args);
    QCOMPARE(result.exitCode, 0);
    const QByteArray word = dryRun ? "would delete: " : "deleted: ";
    QList<QByteArray> lines = result.out.trimmed().split('\n');
    QCOMPARE(lines.takeLast(),
             QByteArray(dryRun ? "Would clean: 3 of 3 files" : "Cleaned: 3 of 3 files"));
    std::sort(lines.begin(), lines.end());
    QCOMPARE(lines, (QList<QByteArray>{word + m_tree->path("c/y/a"), word + m_tree->path("c/y/c"),
                                       word + m_tree->path("c/z/a")}));
    for (const char *master : {"c/x/a", "c/x/b", "c/y/d"})
        QVERIFY2(exists(m_tree->path(master)), master);
    for (const char *duplicate : {"c/y/a", "c/z/a", "c/y/c"})
        QCOMPARE(exists(m_tree->path(duplicate)), dryRun);
}

// Sets by name alone are never read: a "duplicate" with other content (of the
// same size, or not) is found unequal just before the clean and kept.
void TestDuplicateClean::duplicateUnlikeItsMasterIsKept()
{
    storeOptions(true);
    m_tree->file("c/x/a", "same");
    m_tree->file("c/y/a", "same");
    m_tree->file("c/z/a", "SAME"); // one size, other bytes
    m_tree->file("c/x/b", "short");
    m_tree->file("c/y/b", "much longer");
    const CliResult result =
        runCli(QList<QByteArray>{"scan", "duplicates", "--drive", m_tree->path("c"), "--clean"});
    QCOMPARE(result.exitCode, 1); // not every duplicate could be cleaned
    QVERIFY(!exists(m_tree->path("c/y/a")));
    for (const char *kept : {"c/x/a", "c/z/a", "c/x/b", "c/y/b"})
        QVERIFY2(exists(m_tree->path(kept)), kept);
    QVERIFY2(result.err.contains("kept " + m_tree->path("c/z/a") + ": no longer equal"),
             result.err.constData());
    QVERIFY2(result.err.contains("kept " + m_tree->path("c/y/b") + ": not the same size"),
             result.err.constData());
    QVERIFY(result.out.trimmed().endsWith("Cleaned: 1 of 3 files"));
}

void TestDuplicateClean::nothingFoundCleansNothing()
{
    storeOptions(false);
    m_tree->file("c/x/a", "one");
    m_tree->file("c/y/a", "two");
    const CliResult result = runCli(QList<QByteArray>{"scan", "duplicates", "--drive",
                                                      m_tree->path("c"), "--clean", "--dry-run"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("Would clean: 0 of 0 files\n"));
}

// --link: the copies become names of the reference folder's file (the
// master, whatever --keep says), every path reads the same bytes, and undo
// gives each its own file again.
void TestDuplicateClean::linkedDuplicatesKeepTheirPathsUntilUndo()
{
    storeOptions(false);
    for (const char *path : {"c/ref/a", "c/x/a", "c/y/a"})
        m_tree->file(path, "0123456789");
    const auto inode = [&](const char *path) {
        struct stat st = {};
        (void)::lstat(m_tree->path(path).constData(), &st);
        return st.st_ino;
    };
    const CliResult linked = runCli(QList<QByteArray>{
        "scan", "duplicates", "--drive", m_tree->path("c"), "--reference", m_tree->path("c/ref"),
        "--keep", "shortest-path", "--clean", "--link", "hard"});
    QCOMPARE(linked.exitCode, 0);
    QVERIFY2(
        linked.out.contains("linked: " + m_tree->path("c/x/a") + " -> " + m_tree->path("c/ref/a")),
        linked.out.constData());
    QVERIFY(linked.out.trimmed().endsWith("Linked: 2 of 2 files, 20 bytes freed"));
    QCOMPARE(inode("c/x/a"), inode("c/ref/a"));
    QCOMPARE(inode("c/y/a"), inode("c/ref/a"));

    const CliResult undone = runCli(QList<QByteArray>{"undo"});
    QCOMPARE(undone.exitCode, 0);
    for (const char *path : {"c/x/a", "c/y/a"}) {
        QVERIFY(inode(path) != inode("c/ref/a"));
        QFile file(QFile::decodeName(m_tree->path(path)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("0123456789"));
    }
}

CLARIVEX_TEST_MAIN_CORE(TestDuplicateClean)
#include "tst_duplicate_clean.moc"
