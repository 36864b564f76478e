// clarivex-cli scan temp --clean --dry-run promises what the real run does:
// a file the real clean refuses (its volume read-only, the file or its folder
// immutable or append-only) is refused by the dry run too, with the same
// totals and exit status.

#include "core/base/settings_types.h"
#include "core/cleaning/cleaning_fixture.h"
#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QScopeGuard>
#include <QTest>

#include <linux/fs.h>
#include <sys/ioctl.h>

using namespace clarivex;
using namespace clarivex::test;

namespace {

void storeMode(int mode, const QByteArray &backups = {})
{
    {
        TRegIniFile ini{QString::fromLatin1(kSettingsRoot)};
        ini.WriteNumber("Settings\\Options", "DeleteType", mode);
        if (!backups.isEmpty()) {
            ini.WriteText("Settings\\Options", "MoveFolderPath", QFile::decodeName(backups));
            ini.WriteText("Settings\\Options", "ZipFileName", QFile::decodeName(backups));
        }
    }
    RegistryDatabase::closeInstance();
}

// Sets or clears inode flags; false where the file system has none.
bool setFlags(const QByteArray &path, int flags)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

// The summary's two numbers ("Would clean: 1 of 2 files"), and the lines
// of the files, in the order printed.
QByteArray summaryOf(const QByteArray &out)
{
    const QByteArray last = out.trimmed().split('\n').last();
    return last.mid(last.indexOf(':'));
}

} // namespace

class TestDryRun : public QObject
{
    Q_OBJECT
private slots:
    void dryRunRefusesWhatTheCleanRefuses_data();
    void dryRunRefusesWhatTheCleanRefuses();
    void backupFolderOnAReadOnlyVolume_data();
    void backupFolderOnAReadOnlyVolume();
};

void TestDryRun::dryRunRefusesWhatTheCleanRefuses_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("obstacle");
    QTest::addColumn<QByteArray>("reason"); // of the refused file's line
    for (const int mode : {0, 1}) {
        const QByteArray name = mode == 0 ? "Trash, " : "delete, ";
        QTest::newRow(name + "read-only volume")
            << mode << QByteArray("read-only volume") << QByteArray(std::strerror(EROFS));
        QTest::newRow(name + "immutable file")
            << mode << QByteArray("immutable file") << QByteArray(std::strerror(EPERM));
        QTest::newRow(name + "append-only file")
            << mode << QByteArray("append-only file") << QByteArray(std::strerror(EPERM));
        QTest::newRow(name + "immutable folder")
            << mode << QByteArray("immutable folder") << QByteArray(std::strerror(EPERM));
    }
}

void TestDryRun::dryRunRefusesWhatTheCleanRefuses()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, obstacle);
    QFETCH(QByteArray, reason);
    RegistryDatabase::closeInstance();
    FinderTree tree;
    tree.file("c/ok.tmp", "a");
    tree.file("c/x/refused.tmp", "b");
    const QByteArray refused = tree.path("c/x/refused.tmp");
    bool flagged = false;
    const auto cleanup = qScopeGuard([&] {
        if (flagged) {
            (void)setFlags(tree.path("c/x"), 0);
            (void)setFlags(refused, 0);
        }
    });
    if (obstacle == "read-only volume") {
        if (!mountSmallVolume(tree.path("c/x"), 256)) QSKIP("no volume of its own here");
        tree.file("c/x/refused.tmp", "b");
        QCOMPARE(::mount(nullptr, tree.path("c/x").constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                         nullptr),
                 0);
    } else {
        const QByteArray target = obstacle == "immutable folder" ? tree.path("c/x") : refused;
        flagged = setFlags(target, obstacle == "append-only file" ? FS_APPEND_FL : FS_IMMUTABLE_FL);
        if (!flagged) QSKIP("the file system keeps no such flag, or it may not be set here");
    }
    const auto unmount = qScopeGuard([&] {
        if (obstacle == "read-only volume") unmountVolume(tree.path("c/x"));
    });
    storeMode(mode);
    // A volume mounted below a drive is a drive of its own.
    QList<QByteArray> args{"scan", "temp", "--drive", tree.path("c"), "--clean"};
    if (obstacle == "read-only volume") args << "--drive" << tree.path("c/x");
    const CliResult dry = runCli(args + QList<QByteArray>{"--dry-run"});
    QVERIFY2(dry.out.contains("failed: " + refused + " (" + reason + ")\n"), dry.out.constData());
    QCOMPARE(summaryOf(dry.out), QByteArray(": 1 of 2 files"));
    QCOMPARE(dry.exitCode, 1);
    QVERIFY(exists(refused) && exists(tree.path("c/ok.tmp")));

    const CliResult real = runCli(args);
    QCOMPARE(summaryOf(real.out), summaryOf(dry.out));
    QCOMPARE(real.exitCode, dry.exitCode);
    QVERIFY(exists(refused) && !exists(tree.path("c/ok.tmp")));
}

void TestDryRun::backupFolderOnAReadOnlyVolume_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("move") << 2;
    QTest::newRow("zip") << 3;
}

// A move or zip into a folder that cannot be made: nothing would be cleaned.
void TestDryRun::backupFolderOnAReadOnlyVolume()
{
    QFETCH(int, mode);
    RegistryDatabase::closeInstance();
    FinderTree tree;
    tree.file("c/a.tmp", "a");
    if (!mountSmallVolume(tree.path("ro"), 256)) QSKIP("no volume of its own here");
    const auto unmount = qScopeGuard([&] { unmountVolume(tree.path("ro")); });
    QCOMPARE(
        ::mount(nullptr, tree.path("ro").constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    storeMode(mode, tree.path("ro/backups"));
    const QList<QByteArray> args{"scan", "temp", "--drive", tree.path("c"), "--clean"};
    const CliResult dry = runCli(args + QList<QByteArray>{"--dry-run"});
    QCOMPARE(dry.out, "failed: " + tree.path("c/a.tmp") + " (" + std::strerror(EROFS) +
                          ")\nWould clean: 0 of 1 files\n");
    QCOMPARE(dry.exitCode, 1);
    const CliResult real = runCli(args);
    QCOMPARE(summaryOf(real.out), summaryOf(dry.out));
    QCOMPARE(real.exitCode, dry.exitCode);
    QVERIFY(exists(tree.path("c/a.tmp")));
}

CLARIVEX_TEST_MAIN_CORE(TestDryRun)
#include "tst_dry_run.moc"
