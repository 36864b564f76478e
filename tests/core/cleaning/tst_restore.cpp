// The restore where it could act beyond the request: run by root for another
// user's archive, with links planted on the way, and for entries the archive
// had to rename.

#include "core/cleaning/cleaning_fixture.h"
#include "core/cleaning/restore.h"
#include "core/cleaning/zip_backup.h"
#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace clarivex;
using namespace clarivex::cleaning;
using namespace clarivex::test;

namespace {

// Moves the files into the archive with their whole paths; the number archived.
int zipAway(const QByteArray &archive, const QList<QByteArray> &files)
{
    TZip zip;
    zip.Switch = swMove;
    zip.StoredDirNames = sdAbsolute;
    zip.ArchiveFile = archive;
    zip.FileSpec = files;
    return zip.Compress();
}

constexpr uid_t kOwner = 4321;
constexpr gid_t kGroup = 4322;

} // namespace

class TestRestore : public QObject
{
    Q_OBJECT
private slots:
    void modeAndOwner_data();
    void modeAndOwner();
    void linkOnTheWayRestoresNowhere_data();
    void linkOnTheWayRestoresNowhere();
    void renamedEntryGoesBackToItsName();
};

void TestRestore::modeAndOwner_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("restored");
    QTest::newRow("set-user-ID program") << 04755 << 0755;
    QTest::newRow("set-group-ID program") << 02711 << 0711;
    QTest::newRow("both, and sticky") << 07700 << 01700;
    QTest::newRow("plain private file") << 0600 << 0600;
}

// Never a set-ID bit back; as root, the file is its recorded owner's again.
void TestRestore::modeAndOwner()
{
    QFETCH(int, mode);
    QFETCH(int, restored);
    FinderTree tree;
    const QByteArray file = tree.path("home/prog");
    tree.file("home/prog", "#!/bin/sh\n", 0600);
    const bool root = ::geteuid() == 0;
    if (root) QCOMPARE(::chown(file.constData(), kOwner, kGroup), 0);
    QCOMPARE(::chmod(file.constData(), mode_t(mode)), 0); // after chown, which clears set-ID
    QCOMPARE(zipAway(tree.path("b.zip"), {file}), 1);

    const RestoreReport report = restoreArchive(tree.path("b.zip"), {});
    QVERIFY(report.allRestored());
    struct stat st;
    QCOMPARE(::lstat(file.constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), restored);
    if (!root) return; // anyone else restores files as their own
    QCOMPARE(st.st_uid, kOwner);
    QCOMPARE(st.st_gid, kGroup);

    // Below another folder too.
    QVERIFY(restoreArchive(tree.path("b.zip"), {tree.path("other"), false}).allRestored());
    QCOMPARE(::lstat((tree.path("other") + file).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), restored);
    QCOMPARE(st.st_uid, kOwner);
}

void TestRestore::linkOnTheWayRestoresNowhere_data()
{
    QTest::addColumn<QByteArray>("replaced"); // the folder on the way made a link
    QTest::newRow("the file's folder") << QByteArray("home/docs");
    QTest::newRow("a folder higher up") << QByteArray("home");
}

// A link planted where a folder was leads the restore nowhere: the file is
// reported, and written neither through the link nor anywhere else.
void TestRestore::linkOnTheWayRestoresNowhere()
{
    QFETCH(QByteArray, replaced);
    FinderTree tree;
    tree.file("home/docs/a.txt", "mine");
    tree.folder("decoy/docs");
    QCOMPARE(zipAway(tree.path("b.zip"), {tree.path("home/docs/a.txt")}), 1);
    QVERIFY(QDir(QFile::decodeName(tree.path(replaced))).removeRecursively());
    tree.link(replaced, tree.path(replaced.contains('/') ? "decoy/docs" : "decoy"));

    for (const bool dryRun : {true, false}) {
        const RestoreReport report = restoreArchive(tree.path("b.zip"), {{}, dryRun});
        QCOMPARE(report.files.size(), 1);
        QCOMPARE(report.files[0].fate, RestoreFate::Failed);
        QCOMPARE(report.files[0].reason,
                 "a symbolic link on the way: " + QFile::decodeName(tree.path(replaced)));
    }
    QCOMPARE(namesIn(tree.path("decoy/docs")), QList<QByteArray>{});
    QCOMPARE(namesIn(tree.path("decoy")), QList<QByteArray>{"docs"});

    const CliResult cli = runCli(QList<QByteArray>{"restore", tree.path("b.zip")});
    QCOMPARE(cli.exitCode, 1);
    QCOMPARE(cli.out, "failed: " + tree.path("home/docs/a.txt") +
                          ": a symbolic link on the way: " + tree.path(replaced) + '\n');
    QCOMPARE(namesIn(tree.path("decoy/docs")), QList<QByteArray>{});
}

// Cleaned twice the same day, a file is in the archive twice, the second time
// as "a (2).tmp". Each goes back under the name its file had, and the lines
// say where each went.
void TestRestore::renamedEntryGoesBackToItsName()
{
    FinderTree tree;
    const QByteArray file = tree.path("src/a.tmp");
    tree.file("src/a.tmp", "first");
    QCOMPARE(zipAway(tree.path("b.zip"), {file}), 1);
    tree.file("src/a.tmp", "second");
    QCOMPARE(zipAway(tree.path("b.zip"), {file}), 1);

    const CliResult dry = runCli(QList<QByteArray>{"restore", tree.path("b.zip"), "--dry-run"});
    QCOMPARE(dry.exitCode, 0);
    QCOMPARE(dry.out, "would restore: " + file + "\nwould restore as: " +
                          tree.path("src/a (restored).tmp") + " (kept " + file + ")\n");
    QCOMPARE(namesIn(tree.path("src")), QList<QByteArray>{});
    const CliResult real = runCli(QList<QByteArray>{"restore", tree.path("b.zip")});
    QCOMPARE(real.exitCode, 0);
    QCOMPARE(real.out, QByteArray(dry.out).replace("would restore", "restored"));
    QCOMPARE(readBytes(file), QByteArray("first"));
    QCOMPARE(readBytes(tree.path("src/a (restored).tmp")), QByteArray("second"));
    QCOMPARE(namesIn(tree.path("src")), (QList<QByteArray>{"a (restored).tmp", "a.tmp"}));
}

CLARIVEX_TEST_MAIN_CORE(TestRestore)
#include "tst_restore.moc"
