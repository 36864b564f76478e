// The finder and the found-file rows on trees deeper than PATH_MAX, with few
// descriptors, and with folders it may not read.

#include "core/search/found_file_model.h"
#include "core/search/kv_find_file.h"
#include "support/finder_fixture.h"
#include "support/process_limits.h"
#include "support/test_main.h"

#include <sys/stat.h>

using namespace clarivex;
using namespace clarivex::test;

namespace {
constexpr int kLevels = 1300;
// 13 characters a level: the bottom lies far past PATH_MAX.
const QByteArray kLevelName = "level-folder";
} // namespace

class TestDeepWalk : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void deepTreeGivesEveryRow_data();
    void deepTreeGivesEveryRow();
    void unreadableFoldersAreCounted();

private:
    QTemporaryDir m_dir;
    QByteArray m_root; // the deep tree, made once (ext4 makes folders slowly)
    int m_files = 0;
};

void TestDeepWalk::initTestCase()
{
    m_root = QFile::encodeName(m_dir.path()) + "/tree";
    QVERIFY(::mkdir(m_root.constData(), 0755) == 0);
    m_files = buildDeepTree(m_root, kLevels, 100, kLevelName);
    QCOMPARE(m_files, kLevels / 100);
}

void TestDeepWalk::cleanupTestCase()
{
    removeDeepTree(m_root);
}

void TestDeepWalk::deepTreeGivesEveryRow_data()
{
    QTest::addColumn<int>("descriptors"); // 0: the process's own limit
    QTest::newRow("own limit") << 0;
    QTest::newRow("1024 descriptors") << 1024;
    QTest::newRow("48 descriptors") << 48;
}

void TestDeepWalk::deepTreeGivesEveryRow()
{
    QFETCH(int, descriptors);
    const QByteArray &root = m_root;
    const int files = m_files;

    FoundFileModel model;
    TKvFindFile finder;
    const int before = openDescriptorCount();
    int most = before;
    int folders = 0;
    finder.OnChDir = [&](const QByteArray &, bool &) {
        if (++folders % 25 == 0) most = std::max(most, openDescriptorCount());
    };
    finder.OnAddFile = [&](const QByteArray &folder, const TFindData &data, bool &) {
        QVERIFY(model.AddFile(folder, data));
    };
    bool complete = false;
    {
        std::optional<ScopedLimit> limit;
        if (descriptors) {
            limit.emplace(RLIMIT_NOFILE, rlim_t(descriptors));
            QVERIFY(limit->ok());
        }
        complete = finder.Execute(root);
    }
    QVERIFY(complete);
    QCOMPARE(folders, kLevels + 1);
    QCOMPARE(finder.UnreadableFolders, 0);
    QCOMPARE(model.RowCount(), files);
    QVERIFY(model.FilePath(files - 1).endsWith(kLevelName + "/f1300.tmp"));
    QVERIFY(model.FilePath(files - 1).size() > 4096);
    QVERIFY2(most - before <= 80, QByteArray::number(most - before));
}

void TestDeepWalk::unreadableFoldersAreCounted()
{
    FinderTree tree;
    tree.file("open/a.tmp", "a");
    tree.file("shut/inner/b.tmp", "b");
    QVERIFY(::chmod(tree.path("shut").constData(), 0) == 0);
    PermissionChecksOn checks;
    QVERIFY(checks.ok());
    TKvFindFile finder;
    QList<QByteArray> reported;
    finder.OnFolderError = [&](const QByteArray &path, int error) {
        QCOMPARE(error, EACCES);
        reported << path;
    };
    const FinderRun run = runFinder(finder, tree, tree.root());
    QVERIFY(run.result);
    QCOMPARE(run.files, QList<QByteArray>{"open/a.tmp"});
    QCOMPARE(finder.UnreadableFolders, 1);
    QCOMPARE(reported, QList<QByteArray>{tree.path("shut/")});
}

CLARIVEX_TEST_MAIN_CORE(TestDeepWalk)
#include "tst_deep_walk.moc"
