// Walks and the volumes below them: a scan walks each volume once, and no
// walk enters a pseudo file system. The mounts are real, so this needs root.

#include "core/platform/volumes.h"
#include "core/scanners/temp_file_scan.h"
#include "core/search/kv_find_file.h"
#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <sys/mount.h>

using namespace clarivex;
using namespace clarivex::test;

namespace {
class Mount
{
public:
    Mount(const QByteArray &type, const QByteArray &target) : m_target(target)
    {
        m_ok = ::mount(type.constData(), target.constData(), type.constData(), 0, nullptr) == 0;
    }
    ~Mount()
    {
        if (m_ok) ::umount2(m_target.constData(), MNT_DETACH);
    }
    bool ok() const { return m_ok; }

private:
    QByteArray m_target;
    bool m_ok = false;
};
} // namespace

class TestWalkVolumes : public QObject
{
    Q_OBJECT
private slots:
    void nestedVolumeIsWalkedOnce();
    void pseudoFileSystemsAreNeverEntered_data();
    void pseudoFileSystemsAreNeverEntered();
};

void TestWalkVolumes::nestedVolumeIsWalkedOnce()
{
    FinderTree tree;
    tree.file("c/outer.tmp");
    tree.folder("c/mnt");
    const Mount nested("tmpfs", tree.path("c/mnt"));
    if (!nested.ok()) QSKIP("mounting needs root");
    tree.file("c/mnt/inner.tmp");
    const CliResult result = runCli(QList<QByteArray>{
        "scan", "temp", "--null", "--drive", tree.path("c"), "--drive", tree.path("c/mnt")});
    QCOMPARE(result.exitCode, 0);
    QList<QByteArray> fields = result.out.split('\0');
    fields.removeLast();
    QList<QByteArray> paths;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 6)
        paths << fields[i + 1] + fields[i];
    QCOMPARE(paths, (QList<QByteArray>{tree.path("c/outer.tmp"), tree.path("c/mnt/inner.tmp")}));
}

void TestWalkVolumes::pseudoFileSystemsAreNeverEntered_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::newRow("proc") << QByteArray("proc");
    QTest::newRow("sysfs") << QByteArray("sysfs");
    QTest::newRow("devtmpfs") << QByteArray("devtmpfs");
}

void TestWalkVolumes::pseudoFileSystemsAreNeverEntered()
{
    QFETCH(QByteArray, type);
    FinderTree tree;
    tree.file("c/kept.txt");
    tree.folder("c/pseudo");
    const Mount pseudo(type, tree.path("c/pseudo"));
    if (!pseudo.ok()) QSKIP("cannot mount it here (needs root)");
    // Even a walk that may cross into other volumes stays out.
    TKvFindFile finder;
    const FinderRun run = runFinder(finder, tree, tree.path("c"));
    QVERIFY(run.result);
    QCOMPARE(run.files, QList<QByteArray>{"c/kept.txt"});
    for (const QByteArray &event : run.events)
        QVERIFY2(!event.contains("pseudo/"), event.constData());
    // Started inside one, it walks nothing.
    const FinderRun inside = runFinder(finder, tree, tree.path("c/pseudo"));
    QVERIFY(inside.files.isEmpty());
}

CLARIVEX_TEST_MAIN_CORE(TestWalkVolumes)
#include "tst_walk_volumes.moc"
