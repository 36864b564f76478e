// The finder's content test on real files: sparse files read run by run,
// access times left as they were (other users' files too), and no descriptor
// kept once a file is searched.

#include "core/search/kv_find_file.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <set>

using namespace clarivex;
using namespace clarivex::test;

using Files = QList<QByteArray>;

namespace {

constexpr qint64 kBlock = TKvFindFile::kContentBlockSize;

// A content search alone runs before the file is examined; a size bound
// makes the finder examine every file first. Both must find the same.
void examineFirst(TKvFindFile &finder, bool first)
{
    finder.MinSize = first ? 1 : 0;
}

// Takes a capability out of the thread's effective set for a while.
class WithoutCapability
{
public:
    explicit WithoutCapability(int capability)
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &m_header, m_saved) != 0) return;
        __user_cap_data_struct reduced[2];
        std::memcpy(reduced, m_saved, sizeof reduced);
        reduced[capability / 32].effective &= ~(1u << (capability % 32));
        m_active = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutCapability()
    {
        if (m_active) ::syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};

constexpr qint64 kOldAccess = 978307200; // 2001-01-01 00:00:00 UTC

// Sets the access time well before the modification time, where a read
// would update it (relatime).
void ageAccessTime(const QByteArray &path)
{
    const struct timespec times[2] = {{kOldAccess, 0}, {0, UTIME_OMIT}};
    QCOMPARE(::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

qint64 accessTime(const QByteArray &path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 ? qint64(st.st_atim.tv_sec) : -1;
}

int openDescriptors()
{
    return int(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
}

} // namespace

class TestContentSearch : public QObject
{
    Q_OBJECT
private slots:
    void sparseFileRuns_data();
    void sparseFileRuns();
    void accessTimesKept_data();
    void accessTimesKept();
    void otherUsersFiles();
    void noDescriptorKept();
};

void TestContentSearch::sparseFileRuns_data()
{
    QTest::addColumn<qint64>("at"); // where the needle goes; -1: nowhere
    QTest::addColumn<bool>("first");
    for (const bool first : {false, true}) {
        const char *how = first ? ", examined first" : "";
        QTest::addRow("straddles the end of the first block%s", how) << kBlock - 3 << first;
        QTest::addRow("straddles the end of the second block%s", how) << 2 * kBlock - 2 << first;
        QTest::addRow("in the run after the hole%s", how) << 10 * kBlock + 100 << first;
        QTest::addRow("ends the file%s", how) << 11 * kBlock - 6 << first;
        QTest::addRow("nowhere%s", how) << qint64(-1) << first;
    }
}

// Data in [0, 3 blocks) and [10, 11 blocks), a hole between them.
void TestContentSearch::sparseFileRuns()
{
    QFETCH(qint64, at);
    QFETCH(bool, first);
    FinderTree tree;
    tree.file("sparse.img");
    const QByteArray path = tree.path("sparse.img");
    {
        const int fd = ::open(path.constData(), O_WRONLY);
        QVERIFY(fd >= 0);
        const QByteArray run(3 * kBlock, 'e');
        bool written = ::pwrite(fd, run.constData(), size_t(run.size()), 0) == run.size() &&
                       ::pwrite(fd, run.constData(), size_t(kBlock), 10 * kBlock) == kBlock;
        if (at >= 0) written = written && ::pwrite(fd, "Needle", 6, at) == 6;
        ::close(fd);
        QVERIFY(written);
        struct stat st;
        QCOMPARE(::stat(path.constData(), &st), 0);
        if (qint64(st.st_blocks) * 512 >= st.st_size)
            QSKIP("this file system keeps no sparse files");
    }
    TKvFindFile finder;
    examineFirst(finder, first);
    finder.SetFindString("needle");
    QCOMPARE(runFinder(finder, tree, tree.root()).files, at >= 0 ? Files{"sparse.img"} : Files{});
}

void TestContentSearch::accessTimesKept_data()
{
    QTest::addColumn<bool>("first");
    QTest::newRow("searched first") << false;
    QTest::newRow("examined first") << true;
}

// A search reads files; the access times that a clean by age goes by stay.
void TestContentSearch::accessTimesKept()
{
    QFETCH(bool, first);
    FinderTree tree;
    tree.file("hit.txt", "a needle in it");
    tree.file("miss.txt", "nothing in it");
    tree.file("big.dat", QByteArray(kBlock * 2, 'e') + "NEEDLE");
    const Files names{"big.dat", "hit.txt", "miss.txt"};
    for (const QByteArray &name : names)
        ageAccessTime(tree.path(name));
    TKvFindFile finder;
    examineFirst(finder, first);
    finder.SetFindString("needle");
    const FinderRun run = runFinder(finder, tree, tree.root());
    QCOMPARE(run.files.size(), 2);
    for (const TFindData &data : run.data) {
        QCOMPARE(data.lastAccessTime, kOldAccess * 1000000000);
        QCOMPARE(data.size, QFileInfo(QString::fromUtf8(tree.path(data.name))).size());
        QVERIFY(data.attributes & faArchive);
    }
    for (const QByteArray &name : names)
        QCOMPARE(accessTime(tree.path(name)), kOldAccess);
}

// Files of another user cannot be opened without updating their access time:
// they are still searched, and reported with the access time they had.
void TestContentSearch::otherUsersFiles()
{
    FinderTree tree;
    tree.file("theirs/a.txt", "their needle");
    tree.file("theirs/b.txt", "another needle");
    tree.file("mine/c.txt", "my needle");
    constexpr uid_t kOther = 4242;
    for (const QByteArray name : {"theirs/a.txt", "theirs/b.txt"}) {
        if (::chown(tree.path(name).constData(), kOther, kOther) != 0)
            QSKIP("this process cannot give files to another user");
        ageAccessTime(tree.path(name));
    }
    ageAccessTime(tree.path("mine/c.txt"));
    const WithoutCapability notOwner(CAP_FOWNER);
    const int probe = ::open(tree.path("theirs/a.txt").constData(), O_RDONLY | O_NOATIME);
    if (probe >= 0) {
        ::close(probe);
        QSKIP("this process may keep the access time of any file (and cannot drop the right)");
    }
    TKvFindFile finder;
    finder.SetFindString("needle");
    const FinderRun run = runFinder(finder, tree, tree.root());
    QCOMPARE(std::set<QByteArray>(run.files.begin(), run.files.end()),
             (std::set<QByteArray>{"mine/c.txt", "theirs/a.txt", "theirs/b.txt"}));
    for (const TFindData &data : run.data) {
        QCOMPARE(data.lastAccessTime, kOldAccess * 1000000000);
        QCOMPARE(bool(data.attributes & faSysFile), data.name != "c.txt");
    }
    QCOMPARE(accessTime(tree.path("mine/c.txt")), kOldAccess); // its folder starts afresh
}

void TestContentSearch::noDescriptorKept()
{
    FinderTree tree;
    for (int i = 0; i < 40; ++i)
        tree.file("f" + QByteArray::number(i) + ".txt", i % 3 ? "plain text" : "a needle");
    tree.file("big.dat", QByteArray(kBlock * 3, 'e'));
    tree.file("empty.txt");
    tree.link("link.txt", "f1.txt");
    const int before = openDescriptors();
    for (const bool first : {false, true}) {
        TKvFindFile finder;
        examineFirst(finder, first);
        finder.SetFindString("needle");
        QCOMPARE(runFinder(finder, tree, tree.root()).files.size(), 14);
        QCOMPARE(openDescriptors(), before);
    }
}

CLARIVEX_TEST_MAIN_CORE(TestContentSearch)
#include "tst_content_search.moc"
