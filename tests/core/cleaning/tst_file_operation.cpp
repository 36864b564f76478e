// The file operation: Trash layout, the volume trash rules, deletions that
// never follow links, moves and copies that never overwrite, and failures
// (full volume, size limit, a kill in the middle) that lose nothing.

#include "core/cleaning/cleaning_fixture.h"
#include "core/cleaning/file_operation.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QDateTime>
#include <QTest>

#include <cstddef>
#include <cstdio>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

using namespace clarivex;
using namespace clarivex::cleaning;
using namespace clarivex::test;

namespace {

QByteArray homeTrash()
{
    return qgetenv("XDG_DATA_HOME") + "/Trash";
}

// The keys of a .trashinfo file.
QMap<QByteArray, QByteArray> trashInfo(const QByteArray &file)
{
    QMap<QByteArray, QByteArray> keys;
    const QList<QByteArray> lines = readBytes(file).split('\n');
    if (lines.value(0) != "[Trash Info]") return keys;
    for (const QByteArray &line : lines.mid(1)) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0) keys.insert(line.left(eq), line.mid(eq + 1));
    }
    return keys;
}

TrashPlaces otherVolume(const QByteArray &top)
{
    TrashPlaces places = TrashPlaces::forCurrentUser();
    places.onHomeVolume = [](dev_t) { return false; };
    places.topDirectory = [top](const QByteArray &) { return top; };
    return places;
}

bool run(TFileOperation &op, TFileOp operation, TFileOpFlags flags, const QList<QByteArray> &from,
         const QList<QByteArray> &to = {})
{
    op.setOperation(operation);
    op.setFlags(flags);
    op.setSourcePaths(from);
    op.setTargetPaths(to);
    return op.Execute();
}

constexpr TFileOpFlags kQuiet = fofNoConfirmation | fofSilent;

} // namespace

class TestFileOperation : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void listContract();
    void questionNoAbortsAndChangesNothing();
    void trashLayoutAndRestore();
    void volumeTrashRules_data();
    void volumeTrashRules();
    void noUsableTrashKeepsTheFile();
    void trashOnAnotherVolume();
    void deleteNeverFollowsLinks();
    void replacedEntryIsRefused_data();
    void replacedEntryIsRefused();
    void collisionsKeepEveryContent();
    void moveAcrossVolumesKeepsModeAndTimes();
    void fullDestinationKeepsTheSource();
    void sizeLimitFailsTheCopy();
    void killMidMoveLeavesNoPartialFile();
    void cancelStopsTheRest();
    void longTrashNamesKeepTheirExtension_data();
    void longTrashNamesKeepTheirExtension();
    void fullDiskIsNamedAsSuch();
    void noSafeRenameFallsBackToExclusiveCreate();

private:
    QByteArray m_volume; // a tmpfs of its own, empty when none could be mounted
};

void TestFileOperation::initTestCase()
{
    const QByteArray mountPoint = QFile::encodeName(testRoot()) + "/volume";
    if (mountSmallVolume(mountPoint, 512)) m_volume = mountPoint;
}

void TestFileOperation::cleanupTestCase()
{
    if (!m_volume.isEmpty()) unmountVolume(m_volume);
}

void TestFileOperation::cleanup()
{
    forceRemoveTree(QFile::decodeName(homeTrash()));
}

void TestFileOperation::listContract()
{
    FinderTree tree;
    tree.file("a;b.txt", "joined");
    tree.file("a", "left");
    tree.file("b.txt", "right");
    TFileOperation op;
    op.setFilesFrom(QFile::decodeName(tree.path("a") + ';' + tree.path("b.txt") + ';'));
    QCOMPARE(op.SourcePaths(), QList<QByteArray>({tree.path("a"), tree.path("b.txt")}));
    QCOMPARE(op.FilesFrom(), QFile::decodeName(tree.path("a") + ';' + tree.path("b.txt") + ';'));

    // A path holding ";" given as a list stays one path.
    QVERIFY(run(op, foDelete, kQuiet, {tree.path("a;b.txt")}));
    QVERIFY(!exists(tree.path("a;b.txt")));
    QCOMPARE(readBytes(tree.path("a")), QByteArray("left"));
    QCOMPARE(readBytes(tree.path("b.txt")), QByteArray("right"));

    // Active runs the operation each time it is set, and reads false.
    tree.file("src.txt", "x");
    tree.folder("copies");
    op.setOperation(foCopy);
    op.setFlags(kQuiet | fofRenameOnCollision);
    op.setSourcePaths({tree.path("src.txt")});
    op.setTargetPaths({tree.path("copies/")});
    op.setProperty("Active", true);
    op.setProperty("Active", true);
    QCOMPARE(op.property("Active").toBool(), false);
    QCOMPARE(namesIn(tree.path("copies")), QList<QByteArray>({"src (2).txt", "src.txt"}));
    QCOMPARE(functionCode(foMove) * 1000 + functionCode(foCopy) * 100 +
                 functionCode(foDelete) * 10 + functionCode(foRename),
             1234);
}

void TestFileOperation::questionNoAbortsAndChangesNothing()
{
    FinderTree tree;
    tree.file("one", "1");
    tree.file("two", "2");
    TFileOperation op;
    QString asked;
    op.setCallbacks({[&](const QString &question) {
                         asked = question;
                         return false;
                     },
                     {},
                     {}});
    QVERIFY(!run(op, foDelete, fofAllowUndo, {tree.path("one"), tree.path("two")}));
    QVERIFY(op.OperationAborted());
    QCOMPARE(asked, QStringLiteral("Are you sure you want to move these 2 items to the Trash?"));
    QVERIFY(exists(tree.path("one")) && exists(tree.path("two")));
    for (const FileOpOutcome &outcome : op.Outcomes())
        QCOMPARE(outcome.state, FileOpState::NotReached);

    // fofNoConfirmation: nothing is asked and the run is not aborted.
    asked.clear();
    QVERIFY(run(op, foDelete, fofAllowUndo | fofNoConfirmation, {tree.path("one")}));
    QVERIFY(asked.isEmpty());
    QVERIFY(!op.OperationAborted());
}

void TestFileOperation::trashLayoutAndRestore()
{
    FinderTree tree;
    const QByteArray odd = "caf\xe9 50%#x.tmp"; // Latin-1, not UTF-8
    tree.file("d1/" + odd, "first", 0640);
    tree.file("d2/" + odd, "second");
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    TFileOperation op;
    QVERIFY(
        run(op, foDelete, kQuiet | fofAllowUndo, {tree.path("d1/" + odd), tree.path("d2/" + odd)}));
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    const QByteArray second = "caf\xe9 50%#x (2).tmp";
    QCOMPARE(namesIn(homeTrash() + "/files"), QList<QByteArray>({second, odd}));
    QCOMPARE(op.Outcomes()[1].result.destination, homeTrash() + "/files/" + second);
    const auto first = trashInfo(homeTrash() + "/info/" + odd + ".trashinfo");
    QCOMPARE(first.value("Path"), tree.path("d1/" + odd).toPercentEncoding("/"));
    QVERIFY(first.value("Path").contains("caf%E9%2050%25%23x.tmp"));
    const QDateTime deleted = QDateTime::fromString(
        QString::fromLatin1(first.value("DeletionDate")), QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    QVERIFY2(deleted >= before && deleted <= after, first.value("DeletionDate").constData());

    // Restoring is moving the file back to its Path.
    for (const QByteArray &name : {odd, second}) {
        const QByteArray path = QByteArray::fromPercentEncoding(
            trashInfo(homeTrash() + "/info/" + name + ".trashinfo").value("Path"));
        QCOMPARE(::rename((homeTrash() + "/files/" + name).constData(), path.constData()), 0);
    }
    QCOMPARE(readBytes(tree.path("d1/" + odd)), QByteArray("first"));
    QCOMPARE(readBytes(tree.path("d2/" + odd)), QByteArray("second"));
    struct stat st;
    QCOMPARE(::stat(tree.path("d1/" + odd).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0640u);
}

void TestFileOperation::volumeTrashRules_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QByteArray>("expectedTrash"); // relative to the top; empty: none usable
    const QByteArray uid = QByteArray::number(::getuid());
    QTest::newRow("no .Trash") << QByteArray() << ".Trash-" + uid;
    QTest::newRow("sticky .Trash") << QByteArray("sticky") << ".Trash/" + uid;
    QTest::newRow(".Trash without sticky bit") << QByteArray("plain") << ".Trash-" + uid;
    QTest::newRow(".Trash as a link to a sticky folder") << QByteArray("link") << ".Trash-" + uid;
    QTest::newRow(".Trash-uid as a link") << QByteArray("own-link") << QByteArray();
    QTest::newRow(".Trash-uid of another user") << QByteArray("foreign") << QByteArray();
}

void TestFileOperation::volumeTrashRules()
{
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, expectedTrash);
    FinderTree tree;
    tree.file("top/data/junk.tmp", "junk");
    tree.folder("elsewhere");
    const QByteArray top = tree.path("top");
    const QByteArray own = top + "/.Trash-" + QByteArray::number(::getuid());
    if (setup == "sticky" || setup == "plain") {
        QCOMPARE(::mkdir((top + "/.Trash").constData(), 0777), 0);
        QCOMPARE(::chmod((top + "/.Trash").constData(), setup == "sticky" ? 01777 : 0777), 0);
    } else if (setup == "link") {
        QCOMPARE(::chmod(tree.path("elsewhere").constData(), 01777), 0);
        QCOMPARE(::symlink(tree.path("elsewhere").constData(), (top + "/.Trash").constData()), 0);
    } else if (setup == "own-link") {
        QCOMPARE(::symlink(tree.path("elsewhere").constData(), own.constData()), 0);
    } else if (setup == "foreign") {
        if (::getuid() != 0) QSKIP("needs root to give a folder to another user");
        QCOMPARE(::mkdir(own.constData(), 0700), 0);
        QCOMPARE(::chown(own.constData(), 54321, 54321), 0);
    }
    const TrashResult result =
        moveToTrash(tree.path("top/data/junk.tmp"), otherVolume(top), std::nullopt);
    if (expectedTrash.isEmpty()) {
        QVERIFY(result.noTrash);
        QCOMPARE(readBytes(tree.path("top/data/junk.tmp")), QByteArray("junk"));
        QVERIFY(namesIn(tree.path("elsewhere")).isEmpty());
        return;
    }
    QVERIFY2(result.result.ok(), qPrintable(result.result.reason));
    const QByteArray trash = top + '/' + expectedTrash;
    QCOMPARE(result.result.destination, trash + "/files/junk.tmp");
    QCOMPARE(readBytes(trash + "/files/junk.tmp"), QByteArray("junk"));
    QCOMPARE(trashInfo(trash + "/info/junk.tmp.trashinfo").value("Path"),
             QByteArray("data/junk.tmp"));
    struct stat st;
    QCOMPARE(::lstat(trash.constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0700u);
    QVERIFY(namesIn(tree.path("elsewhere")).isEmpty());
}

void TestFileOperation::noUsableTrashKeepsTheFile()
{
    FinderTree tree;
    tree.file("top/a.tmp", "a");
    tree.file("top/b.tmp", "b");
    tree.folder("elsewhere");
    QCOMPARE(::symlink(tree.path("elsewhere").constData(),
                       (tree.path("top/.Trash-") + QByteArray::number(::getuid())).constData()),
             0);
    TFileOperation op;
    op.setTrashPlaces(otherVolume(tree.path("top")));
    QList<QByteArray> asked;
    op.setCallbacks({{},
                     [&](const QByteArray &path, const QString &) {
                         asked << path;
                         return path.endsWith("b.tmp");
                     },
                     {}});
    QVERIFY(!run(op, foDelete, kQuiet | fofAllowUndo,
                 {tree.path("top/a.tmp"), tree.path("top/b.tmp")}));
    QCOMPARE(asked, QList<QByteArray>({tree.path("top/a.tmp"), tree.path("top/b.tmp")}));
    QCOMPARE(op.Outcomes()[0].state, FileOpState::Kept);
    QCOMPARE(op.Outcomes()[1].state, FileOpState::Done);
    QVERIFY(exists(tree.path("top/a.tmp")));
    QVERIFY(!exists(tree.path("top/b.tmp")));

    // Without anybody to ask (an automatic clean) the file simply stays.
    op.setCallbacks({});
    QVERIFY(!run(op, foDelete, kQuiet | fofAllowUndo, {tree.path("top/a.tmp")}));
    QCOMPARE(op.Outcomes()[0].state, FileOpState::Kept);
    QVERIFY(exists(tree.path("top/a.tmp")));
}

void TestFileOperation::trashOnAnotherVolume()
{
    if (m_volume.isEmpty()) QSKIP("no tmpfs can be mounted here");
    QDir().mkpath(QFile::decodeName(m_volume + "/sub"));
    QFile file(QFile::decodeName(m_volume + "/sub/x.tmp"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
    file.close();
    TFileOperation op;
    QVERIFY(run(op, foDelete, kQuiet | fofAllowUndo, {m_volume + "/sub/x.tmp"}));
    const QByteArray trash = m_volume + "/.Trash-" + QByteArray::number(::getuid());
    QCOMPARE(readBytes(trash + "/files/x.tmp"), QByteArray("x"));
    QCOMPARE(trashInfo(trash + "/info/x.tmp.trashinfo").value("Path"), QByteArray("sub/x.tmp"));
    QVERIFY(!exists(homeTrash() + "/files/x.tmp"));
    forceRemoveTree(QFile::decodeName(trash));
    forceRemoveTree(QFile::decodeName(m_volume + "/sub"));
}

void TestFileOperation::deleteNeverFollowsLinks()
{
    FinderTree tree;
    tree.file("keep/target.txt", "keep");
    tree.link("junk/link-to-file", tree.path("keep/target.txt"));
    tree.link("junk/link-to-folder", tree.path("keep"));
    tree.link("junk/folder/inner-link", tree.path("keep"));
    tree.file("junk/folder/sub/file", "f");
    TFileOperation op;
    QVERIFY(run(op, foDelete, kQuiet | fofFilesOnly,
                {tree.path("junk/link-to-file"), tree.path("junk/link-to-folder")}));
    QVERIFY(!exists(tree.path("junk/link-to-file")) && !exists(tree.path("junk/link-to-folder")));

    QVERIFY(!run(op, foDelete, kQuiet | fofFilesOnly, {tree.path("junk/folder")}));
    QCOMPARE(op.Outcomes()[0].result.error, EISDIR);
    QVERIFY(exists(tree.path("junk/folder/sub/file")));

    QVERIFY(run(op, foDelete, kQuiet, {tree.path("junk/folder")}));
    QVERIFY(!exists(tree.path("junk/folder")));
    QCOMPARE(readBytes(tree.path("keep/target.txt")), QByteArray("keep"));
}

void TestFileOperation::replacedEntryIsRefused_data()
{
    QTest::addColumn<bool>("byFolder"); // else by a link to a precious file
    QTest::addColumn<QString>("reason");
    QTest::newRow("link") << false << QStringLiteral("replaced by a symbolic link");
    // The removal itself tells a folder from the file the scan saw (no
    // separate folder test runs first when the identity is known).
    QTest::newRow("folder") << true << QStringLiteral("replaced by a folder");
}

void TestFileOperation::replacedEntryIsRefused()
{
    QFETCH(bool, byFolder);
    QFETCH(QString, reason);
    FinderTree tree;
    tree.file("victim.txt", "precious");
    tree.file("junk.tmp", "junk");
    const FileIdentity seen = *readIdentity(tree.path("junk.tmp"));
    QCOMPARE(::unlink(tree.path("junk.tmp").constData()), 0);
    if (byFolder)
        tree.file("junk.tmp/inside.txt", "precious too");
    else
        tree.link("junk.tmp", tree.path("victim.txt"));
    for (const TFileOpFlags flags : {kQuiet, kQuiet | fofAllowUndo}) {
        TFileOperation op;
        op.setOperation(foDelete);
        op.setFlags(flags | (byFolder ? fofFilesOnly : TFileOpFlag(0)));
        op.setSourcePaths({tree.path("junk.tmp")});
        op.setSourceIdentities({seen});
        QVERIFY(!op.Execute());
        QCOMPARE(op.Outcomes()[0].state, FileOpState::Failed);
        QCOMPARE(op.Outcomes()[0].result.reason, reason);
        QVERIFY(exists(tree.path("junk.tmp")));
        QCOMPARE(readBytes(tree.path("victim.txt")), QByteArray("precious"));
        if (byFolder)
            QCOMPARE(readBytes(tree.path("junk.tmp/inside.txt")), QByteArray("precious too"));
    }
    QVERIFY(!exists(homeTrash() + "/info/junk.tmp.trashinfo"));
}

void TestFileOperation::collisionsKeepEveryContent()
{
    const QList<QByteArray> targets =
        m_volume.isEmpty() ? QList<QByteArray>{{}} : QList<QByteArray>{{}, m_volume};
    for (const QByteArray &volume : targets) {
        FinderTree tree;
        tree.file("d1/a.txt", "from d1");
        tree.file("d2/a.txt", "from d2");
        const QByteArray dest = volume.isEmpty() ? tree.path("dest") : volume + "/dest";
        QDir().mkpath(QFile::decodeName(dest));
        QFile existing(QFile::decodeName(dest + "/a.txt"));
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("already there") > 0);
        existing.close();

        TFileOperation op;
        // Without rename on collision the move fails and nothing is replaced.
        QVERIFY(!run(op, foMove, kQuiet, {tree.path("d1/a.txt")}, {dest + '/'}));
        QCOMPARE(op.Outcomes()[0].result.error, EEXIST);
        QVERIFY(run(op, foMove, kQuiet | fofRenameOnCollision | fofMultiDestFiles,
                    {tree.path("d1/a.txt"), tree.path("d2/a.txt")}, {dest + '/'}));
        QCOMPARE(readBytes(dest + "/a.txt"), QByteArray("already there"));
        QCOMPARE(readBytes(dest + "/a (2).txt"), QByteArray("from d1"));
        QCOMPARE(readBytes(dest + "/a (3).txt"), QByteArray("from d2"));
        QCOMPARE(op.Outcomes()[1].result.destination, dest + "/a (3).txt");
        QVERIFY(!exists(tree.path("d1/a.txt")) && !exists(tree.path("d2/a.txt")));
        forceRemoveTree(QFile::decodeName(dest));
    }
}

void TestFileOperation::moveAcrossVolumesKeepsModeAndTimes()
{
    if (m_volume.isEmpty()) QSKIP("no tmpfs can be mounted here");
    FinderTree tree;
    tree.file("src/keep.bin", QByteArray(100000, 'k'), 0751);
    tree.link("src/link", "keep.bin");
    const QDateTime when(QDate(2021, 3, 4), QTime(5, 6, 7, 890));
    tree.setModified("src/keep.bin", when);
    struct stat before;
    QCOMPARE(::stat(tree.path("src/keep.bin").constData(), &before), 0);
    TFileOperation op;
    QVERIFY(run(op, foMove, kQuiet | fofRenameOnCollision,
                {tree.path("src/keep.bin"), tree.path("src/link")}, {m_volume + '/'}));
    struct stat after;
    QCOMPARE(::stat((m_volume + "/keep.bin").constData(), &after), 0);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    QCOMPARE(readBytes(m_volume + "/keep.bin"), QByteArray(100000, 'k'));
    char text[64] = {};
    QCOMPARE(::readlink((m_volume + "/link").constData(), text, sizeof text - 1), 8);
    QCOMPARE(QByteArray(text), QByteArray("keep.bin"));
    QVERIFY(namesIn(tree.path("src")).isEmpty());
    ::unlink((m_volume + "/keep.bin").constData());
    ::unlink((m_volume + "/link").constData());
}

void TestFileOperation::fullDestinationKeepsTheSource()
{
    if (m_volume.isEmpty()) QSKIP("no tmpfs can be mounted here");
    FinderTree tree;
    tree.file("big.bin", QByteArray(1024 * 1024, 'b')); // twice the volume
    tree.file("small.bin", "small");
    QDir().mkpath(QFile::decodeName(m_volume + "/full"));
    TFileOperation op;
    QVERIFY(!run(op, foMove, kQuiet, {tree.path("big.bin"), tree.path("small.bin")},
                 {m_volume + "/full/"}));
    QCOMPARE(op.Outcomes()[0].state, FileOpState::Failed);
    QCOMPARE(op.Outcomes()[0].result.error, ENOSPC);
    QVERIFY(op.Outcomes()[0].result.reason.contains(QString::fromLocal8Bit(strerror(ENOSPC))));
    QCOMPARE(op.Outcomes()[1].state, FileOpState::Done);
    QCOMPARE(readBytes(tree.path("big.bin")), QByteArray(1024 * 1024, 'b'));
    QCOMPARE(namesIn(m_volume + "/full"), QList<QByteArray>({"small.bin"}));
    forceRemoveTree(QFile::decodeName(m_volume + "/full"));
}

void TestFileOperation::sizeLimitFailsTheCopy()
{
    FinderTree tree;
    tree.file("big.bin", QByteArray(300000, 'b'));
    tree.folder("out");
    const int status = runInChild([&] {
        limitFileSize(100000);
        TFileOperation op;
        const bool ok = run(op, foCopy, kQuiet, {tree.path("big.bin")}, {tree.path("out/")});
        return !ok && op.Outcomes()[0].result.error == EFBIG ? 0 : 1;
    });
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QVERIFY(namesIn(tree.path("out")).isEmpty());
    QCOMPARE(readBytes(tree.path("big.bin")), QByteArray(300000, 'b'));
}

void TestFileOperation::killMidMoveLeavesNoPartialFile()
{
    // Across volumes when a tmpfs is at hand, else a copy: the same steps.
    FinderTree tree;
    const QByteArray content(400 * 1024 - 1, 'z');
    tree.file("moving.bin", content);
    tree.folder("out");
    const QByteArray dest = m_volume.isEmpty() ? tree.path("out") : m_volume + "/out";
    QDir().mkpath(QFile::decodeName(dest));
    const int status = runInChild([&] {
        TFileOperation op;
        op.setFlags(fofNoConfirmation);
        op.setCallbacks({{}, {}, [](const FileOpProgress &progress) {
                             if (progress.bytes > 0) ::raise(SIGKILL);
                             return true;
                         }});
        (void)run(op, m_volume.isEmpty() ? foCopy : foMove, fofNoConfirmation,
                  {tree.path("moving.bin")}, {dest + '/'});
        return 0;
    });
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    QCOMPARE(readBytes(tree.path("moving.bin")), content);
    for (const QByteArray &name : namesIn(dest))
        QVERIFY2(name.startsWith('.'), name.constData());
    forceRemoveTree(QFile::decodeName(dest));
}

void TestFileOperation::longTrashNamesKeepTheirExtension_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("extension");
    // 2-byte characters: any cut at an odd length would split one.
    QByteArray accents;
    for (int i = 0; i < 120; ++i)
        accents += "\xc3\xa9";
    QTest::newRow("accents, .txt") << accents + ".txt" << QByteArray(".txt");
    QTest::newRow("ASCII, .tar.gz") << QByteArray(245, 'a') + ".tar.gz" << QByteArray(".gz");
    QTest::newRow("3-byte characters, no extension")
        << QByteArray("\xe2\x82\xac").repeated(83) << QByteArray();
}

void TestFileOperation::longTrashNamesKeepTheirExtension()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, extension);
    FinderTree tree;
    tree.file(name, "long");
    tree.file("second/" + name, "long 2");
    TFileOperation op;
    QVERIFY(
        run(op, foDelete, kQuiet | fofAllowUndo, {tree.path(name), tree.path("second/" + name)}));
    const QList<QByteArray> names = namesIn(homeTrash() + "/files");
    QCOMPARE(names.size(), 2);
    for (const QByteArray &trashed : names) {
        QVERIFY2(trashed.size() + 10 <= 255, trashed.constData()); // with ".trashinfo"
        QVERIFY(QUtf8StringView(trashed).isValidUtf8());
        if (!extension.isEmpty()) QVERIFY2(trashed.endsWith(extension), trashed.constData());
        QVERIFY(exists(homeTrash() + "/info/" + trashed + ".trashinfo"));
    }
    QCOMPARE(readBytes(op.Outcomes()[1].result.destination), QByteArray("long 2"));
}

void TestFileOperation::fullDiskIsNamedAsSuch()
{
    if (m_volume.isEmpty()) QSKIP("no tmpfs can be mounted here");
    const QByteArray file = m_volume + "/junk.tmp";
    QFile junk(QFile::decodeName(file));
    QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("junk") == 4);
    junk.close();
    // Fill the volume to its last block.
    const QByteArray filler = m_volume + "/filler";
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY(fd >= 0);
    const QByteArray block(4096, 'f');
    while (::write(fd, block.constData(), size_t(block.size())) > 0) {
    }
    ::close(fd);
    TFileOperation op;
    op.setTrashPlaces(otherVolume(m_volume));
    QList<QByteArray> asked;
    op.setCallbacks({{}, [&](const QByteArray &path, const QString &) {
                         asked << path;
                         return false;
                     }});
    QVERIFY(!run(op, foDelete, kQuiet | fofAllowUndo, {file}));
    ::unlink(filler.constData());
    QCOMPARE(op.Outcomes()[0].state, FileOpState::Failed);
    QVERIFY2(op.Outcomes()[0].result.reason.contains(QStringLiteral("disk is full")),
             qPrintable(op.Outcomes()[0].result.reason));
    QVERIFY(asked.isEmpty()); // no offer to delete it for good instead
    QCOMPARE(readBytes(file), QByteArray("junk"));
    forceRemoveTree(QFile::decodeName(m_volume + "/.Trash-" + QByteArray::number(::getuid())));
    ::unlink(file.constData());
}

void TestFileOperation::noSafeRenameFallsBackToExclusiveCreate()
{
    // A file system like some FUSE ones: no RENAME_NOREPLACE, no hard links,
    // no O_TMPFILE (made so for the child by a seccomp filter).
    FinderTree tree;
    tree.file("src/x.tmp", "moved");
    tree.file("backups/x.tmp", "already there");
    const int status = runInChild([&] {
        struct sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EINVAL),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_linkat, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, args[2])),
            BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        struct sock_fprog program
        {
            (unsigned short)(sizeof filter / sizeof filter[0]), filter
        };
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            return 90;
        TFileOperation op;
        const bool done = run(op, foMove, kQuiet | fofRenameOnCollision, {tree.path("src/x.tmp")},
                              {tree.path("backups/")});
        if (!done) {
            std::fprintf(stderr, "%s\n", qPrintable(op.Outcomes()[0].result.reason));
            return 91;
        }
        return op.Outcomes()[0].result.destination == tree.path("backups/x (2).tmp") ? 0 : 92;
    });
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QVERIFY(!exists(tree.path("src/x.tmp")));
    QCOMPARE(readBytes(tree.path("backups/x.tmp")), QByteArray("already there"));
    QCOMPARE(readBytes(tree.path("backups/x (2).tmp")), QByteArray("moved"));
    QCOMPARE(namesIn(tree.path("backups")), QList<QByteArray>({"x (2).tmp", "x.tmp"}));
}

void TestFileOperation::cancelStopsTheRest()
{
    FinderTree tree;
    tree.file("1", "1");
    tree.file("2", "2");
    tree.file("3", "3");
    TFileOperation op;
    op.setCallbacks({{}, {}, [](const FileOpProgress &progress) { return progress.done < 1; }});
    QVERIFY(
        !run(op, foDelete, fofNoConfirmation, {tree.path("1"), tree.path("2"), tree.path("3")}));
    QVERIFY(op.OperationAborted());
    QCOMPARE(op.Outcomes()[0].state, FileOpState::Done);
    QCOMPARE(op.Outcomes()[1].state, FileOpState::NotReached);
    QVERIFY(!exists(tree.path("1")) && exists(tree.path("2")) && exists(tree.path("3")));
}

CLARIVEX_TEST_MAIN_CORE(TestFileOperation)
#include "tst_file_operation.moc"
