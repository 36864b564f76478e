// The finder on Linux file systems: links, mounts, special files, rights,
// raw names, files that change under the walk, and large files.

#include "core/search/kv_find_file.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>

using namespace clarivex;
using namespace clarivex::test;

using Files = QList<QByteArray>;

namespace {

Files sorted(Files files)
{
    std::sort(files.begin(), files.end());
    return files;
}

// Root reads every folder whatever its mode; this takes the two capabilities
// that allow it out of the thread's effective set for a while.
class WithoutDacOverride
{
public:
    WithoutDacOverride()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        m_header.pid = 0;
        if (::syscall(SYS_capget, &m_header, m_saved) != 0) return;
        __user_cap_data_struct reduced[2];
        std::memcpy(reduced, m_saved, sizeof reduced);
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_active = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutDacOverride()
    {
        if (m_active) ::syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};

class BindMount
{
public:
    BindMount(const QByteArray &from, const QByteArray &to) : m_to(to)
    {
        m_mounted = ::mount(from.constData(), to.constData(), nullptr, MS_BIND, nullptr) == 0;
    }
    ~BindMount()
    {
        if (m_mounted) ::umount2(m_to.constData(), MNT_DETACH);
    }
    [[nodiscard]] bool mounted() const { return m_mounted; }

private:
    QByteArray m_to;
    bool m_mounted = false;
};

} // namespace

class TestKvFindFileLinux : public QObject
{
    Q_OBJECT
private slots:
    void symbolicLinks();
    void secondPathToOneFolder();
    void specialFilesNeverReported();
    void unreadableFolder();
    void namesThatAreNotUtf8();
    void filesVanishDuringTheWalk();
    void folderListedAhead_data();
    void folderListedAhead();
    void matchAcrossBlocks_data();
    void matchAcrossBlocks();
    void fileOfMoreThan4GiB();
};

void TestKvFindFileLinux::symbolicLinks()
{
    FinderTree tree;
    tree.file("real/file.txt", "a needle inside");
    tree.file("real/sub/inner.txt", "x");
    tree.link("links/to_file", "../real/file.txt");
    tree.link("links/to_dir", "../real");
    tree.link("links/broken", "nowhere");
    tree.link("links/self", ".");
    tree.link("links/ping", "pong");
    tree.link("links/pong", "ping");
    tree.link("real/sub/up", "../.."); // a loop back to the root
    TKvFindFile finder;
    FinderRun run = runFinder(finder, tree, tree.root());
    QVERIFY(run.result);
    QCOMPARE(sorted(run.files), (Files{"links/broken", "links/ping", "links/pong", "links/to_file",
                                       "real/file.txt", "real/sub/inner.txt"}));
    QCOMPARE(run.events.count(QByteArray("D links/")), 1);
    QVERIFY(!run.events.contains("D links/to_dir/"));
    QVERIFY(!run.events.contains("D real/sub/up/"));
    const TFindData &link = run.data.at(run.files.indexOf("links/to_file"));
    QVERIFY(link.isSymlink);
    QCOMPARE(link.size, qint64(std::strlen("../real/file.txt"))); // the link's own size
    // What the walk saw: four folders; two files and seven links, every
    // link counted as an entry of its own, none entered.
    QCOMPARE(finder.FoldersSeen, 4);
    QCOMPARE(finder.FilesSeen, 9);

    // The content test reads the file, never the link's target.
    finder.SetFindString("NEEDLE");
    run = runFinder(finder, tree, tree.root());
    QCOMPARE(run.files, Files{"real/file.txt"});
}

void TestKvFindFileLinux::secondPathToOneFolder()
{
    FinderTree tree;
    tree.file("a/one.txt");
    tree.folder("b/mnt");
    tree.folder("a/loop");
    const BindMount second(tree.path("a"), tree.path("b/mnt"));
    if (!second.mounted()) QSKIP("bind mounts are not allowed here");
    const BindMount loop(tree.root(), tree.path("a/loop"));
    QVERIFY(loop.mounted());
    TKvFindFile finder;
    const FinderRun run = runFinder(finder, tree, tree.root());
    QVERIFY(run.result);
    // a/ and b/mnt/ are one folder, walked once under whichever name came first;
    // the root seen again through a/loop is not walked again.
    QCOMPARE(run.files.size(), 1);
    QVERIFY(run.files[0] == "a/one.txt" || run.files[0] == "b/mnt/one.txt");
    QVERIFY(!run.events.contains("D a/loop/"));
}

void TestKvFindFileLinux::specialFilesNeverReported()
{
    FinderTree tree;
    tree.file("regular.txt");
    QCOMPARE(::mkfifo(tree.path("fifo").constData(), 0644), 0);
    QCOMPARE(::mknod(tree.path("socket").constData(), S_IFSOCK | 0644, 0), 0);
    const bool device = ::mknod(tree.path("null").constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    TKvFindFile finder;
    finder.SetFindString("x"); // nothing may block on opening the FIFO either
    FinderRun run = runFinder(finder, tree, tree.root());
    QVERIFY(run.result);
    QVERIFY(run.files.isEmpty());
    finder.SetFindString(QString());
    run = runFinder(finder, tree, tree.root());
    QCOMPARE(run.files, Files{"regular.txt"});
    if (!device) qInfo("no device node could be made; FIFO and socket were tested");
}

void TestKvFindFileLinux::unreadableFolder()
{
    FinderTree tree;
    tree.file("a.txt");
    tree.file("locked/secret.txt");
    tree.file("z/c.txt");
    tree.file("noread.txt", "needle", 0);
    QCOMPARE(::chmod(tree.path("locked").constData(), 0), 0);
    FinderRun run;
    FinderRun contentRun;
    {
        const WithoutDacOverride lessRights;
        const int probe = ::open(tree.path("locked").constData(), O_RDONLY | O_DIRECTORY);
        if (probe >= 0) {
            ::close(probe);
            ::chmod(tree.path("locked").constData(), 0755);
            QSKIP("this process reads folders whatever their mode (and its rights cannot be "
                  "lowered)");
        }
        TKvFindFile finder;
        run = runFinder(finder, tree, tree.root());
        finder.SetFindString("needle");
        contentRun = runFinder(finder, tree, tree.root());
    }
    ::chmod(tree.path("locked").constData(), 0755);
    QVERIFY(run.result);
    QCOMPARE(sorted(run.files), (Files{"a.txt", "noread.txt", "z/c.txt"}));
    QVERIFY(run.events.contains("D locked/")); // entered, but it yields nothing
    QVERIFY(run.events.contains("D z/"));
    QVERIFY(contentRun.result);
    QVERIFY(contentRun.files.isEmpty()); // a file that cannot be opened does not pass
}

void TestKvFindFileLinux::namesThatAreNotUtf8()
{
    FinderTree tree;
    tree.file("caf\xE9.TMP");
    tree.file("d\xFF/x.tmp");
    tree.file("d\xFF/x.txt");
    TKvFindFile finder;
    finder.SetFileMask("*.tmp");
    QList<QByteArray> paths;
    QList<QByteArray> folders;
    finder.OnAddFile = [&paths](const QByteArray &Path, const TFindData &Data, bool &) {
        paths << Path + Data.name;
    };
    finder.OnChDir = [&folders](const QByteArray &Name, bool &) { folders << Name; };
    QVERIFY(finder.Execute(tree.root()));
    QCOMPARE(sorted(paths), sorted({tree.path("caf\xE9.TMP"), tree.path("d\xFF/x.tmp")}));
    QVERIFY(folders.contains(tree.path("d\xFF/")));
}

void TestKvFindFileLinux::folderListedAhead_data()
{
    QTest::addColumn<int>("entries");
    QTest::newRow("a few entries: known from one read") << 12;
    QTest::newRow("more than one read holds") << 3000;
}

// While OnChDir runs, the finder tells whether the folder holds a name only
// where it read the whole listing: never "no" for a name past what it read.
// The files' entries still all reach OnAddFile afterwards.
void TestKvFindFileLinux::folderListedAhead()
{
    QFETCH(int, entries);
    FinderTree tree;
    tree.file("top.txt");
    QList<QByteArray> names;
    const QByteArray dir = tree.path("big");
    QVERIFY(::mkdir(dir.constData(), 0700) == 0);
    for (int i = 0; i < entries; ++i) {
        names << QByteArray(60, 'n') + '-' + QByteArray::number(i);
        QVERIFY(::symlink("nowhere", (dir + '/' + names.last()).constData()) == 0);
    }
    TKvFindFile finder;
    int answered = 0;
    int wrong = 0;
    finder.OnChDir = [&](const QByteArray &folder, bool &) {
        if (folder != dir + '/') return;
        for (const QByteArray &name : names) {
            const std::optional<bool> holds = finder.CurrentFolderHolds(name.constData());
            answered += holds.has_value();
            wrong += holds == false;
        }
        wrong += finder.CurrentFolderHolds("desktop.ini") == true;
    };
    qsizetype reported = 0;
    finder.OnAddFile = [&](const QByteArray &, const TFindData &, bool &) { ++reported; };
    QVERIFY(finder.Execute(tree.root()));
    QCOMPARE(wrong, 0);
    if (entries < 100) QCOMPARE(answered, entries);
    QCOMPARE(reported, qsizetype(entries + 1));
    QVERIFY(!finder.CurrentFolderHolds("top.txt").has_value()); // outside OnChDir
}

void TestKvFindFileLinux::filesVanishDuringTheWalk()
{
    FinderTree tree;
    for (int i = 0; i < 40; ++i)
        tree.file("f" + QByteArray::number(i) + ".txt");
    tree.file("sub/inner.txt");
    TKvFindFile finder;
    FinderHooks hooks;
    bool removed = false;
    hooks.onAddFile = [&](const QByteArray &file, bool &) {
        if (removed) return;
        removed = true;
        for (int i = 0; i < 40; ++i) {
            const QByteArray name = "f" + QByteArray::number(i) + ".txt";
            if (name != file) ::unlink(tree.path(name).constData());
        }
        ::unlink(tree.path("sub/inner.txt").constData());
        ::rmdir(tree.path("sub").constData());
    };
    const FinderRun run = runFinder(finder, tree, tree.root(), hooks);
    QVERIFY(run.result);
    QCOMPARE(run.files.size(), 1);
}

void TestKvFindFileLinux::matchAcrossBlocks_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("at");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<bool>("examineFirst"); // a size bound: every file is examined before reading
    const qint64 block = TKvFindFile::kContentBlockSize;
    const qint64 size = 2 * block + 500;
    for (const bool first : {false, true}) {
        const char *how = first ? ", examined first" : "";
        QTest::addRow("straddles the first boundary%s", how) << size << block - 3 << true << first;
        QTest::addRow("ends the first block%s", how) << size << block - 7 << true << first;
        QTest::addRow("starts the second block%s", how) << size << block << true << first;
        QTest::addRow("straddles the second boundary%s", how)
            << size << 2 * block - 1 << true << first;
        QTest::addRow("ends the file%s", how) << size << 2 * block + 493 << true << first;
        QTest::addRow("broken at the boundary is no match%s", how)
            << size << block - 3 << false << first;
        QTest::addRow("ends a file of one block%s", how) << block << block - 7 << true << first;
        QTest::addRow("ends a file one byte over a block%s", how)
            << block + 1 << block - 6 << true << first;
    }
}

void TestKvFindFileLinux::matchAcrossBlocks()
{
    QFETCH(qint64, size);
    QFETCH(qint64, at);
    QFETCH(bool, whole);
    QFETCH(bool, examineFirst);
    const QByteArray needle = "NeedLe!";
    QByteArray content(size, 'e');
    content.replace(at, needle.size(), needle);
    if (!whole) content[at + 3] = 'x'; // the byte right after the boundary
    FinderTree tree;
    tree.file("big.dat", content);
    TKvFindFile finder;
    finder.MinSize = examineFirst ? 1 : 0;
    finder.SetFindString("needle!");
    const FinderRun run = runFinder(finder, tree, tree.root());
    QCOMPARE(run.files, whole ? Files{"big.dat"} : Files{});
    if (whole) QCOMPARE(run.data[0].size, size);
}

void TestKvFindFileLinux::fileOfMoreThan4GiB()
{
    const qint64 size = (qint64(4) << 30) + 300; // its low 32 bits say 300
    FinderTree tree;
    tree.file("huge.img", "head");
    {
        const int fd = ::open(tree.path("huge.img").constData(), O_WRONLY);
        QVERIFY(fd >= 0);
        const QByteArray needle = "Needle";
        const bool written =
            ::ftruncate(fd, size) == 0 && ::pwrite(fd, needle.constData(), size_t(needle.size()),
                                                   (qint64(4) << 30) + 100) == needle.size();
        ::close(fd);
        QVERIFY(written);
        struct stat st;
        QCOMPARE(::stat(tree.path("huge.img").constData(), &st), 0);
        if (qint64(st.st_blocks) * 512 > (qint64(64) << 20))
            QSKIP("this file system keeps no sparse files");
    }
    TKvFindFile finder;
    FinderRun run = runFinder(finder, tree, tree.root());
    QCOMPARE(run.files, Files{"huge.img"});
    QCOMPARE(run.data[0].size, size);

    finder.MinSize = 1000; // the real size passes, not its low word
    QCOMPARE(runFinder(finder, tree, tree.root()).files, Files{"huge.img"});
    finder.MaxSize = 2147483646; // a real upper bound
    QCOMPARE(runFinder(finder, tree, tree.root()).files, Files{});
    finder.MaxSize = 2147483647; // no upper bound

    finder.SetFindString("NEEDLE"); // beyond 4 GiB, after a hole
    QCOMPARE(runFinder(finder, tree, tree.root()).files, Files{"huge.img"});
    finder.SetFindString("absent");
    QCOMPARE(runFinder(finder, tree, tree.root()).files, Files{});
}

CLARIVEX_TEST_MAIN_CORE(TestKvFindFileLinux)
#include "tst_kv_find_file_linux.moc"
