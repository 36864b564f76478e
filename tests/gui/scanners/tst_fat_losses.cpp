#include "core/base/formats.h"
#include "core/platform/volumes.h"
#include "core/scanners/fat_losses.h"
#include "gui/scanners/fat_losses_page.h"
#include "gui/search/disk_list_view.h"
#include "support/finder_fixture.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QLabel>
#include <QPushButton>

using namespace clarivex;
using test::FinderTree;
using test::ScopedNotices;

namespace {

platform::Volume volumeAt(const QByteArray &root, const QString &fileSystem)
{
    platform::Volume volume;
    volume.root = root;
    volume.device = "/dev/sdz1";
    volume.caption = QStringLiteral("STICK (%1)").arg(QString::fromUtf8(root));
    volume.kind = platform::VolumeKind::Removable;
    volume.label = QStringLiteral("STICK");
    volume.serialNumber = QStringLiteral("0ABC-1234");
    volume.fileSystem = fileSystem;
    return volume;
}

// Drive list rows are volumes of a fixed list for as long as the object lives.
struct FixedVolumes
{
    explicit FixedVolumes(const QList<platform::Volume> &volumes)
    {
        platform::Volumes::setFixedList(volumes);
    }
    ~FixedVolumes() { platform::Volumes::clearFixedList(); }
};

void selectRow(TFatLossesPage &page, int row)
{
    page.DiskListViewFATLosses->setCurrentItem(page.DiskListViewFATLosses->topLevelItem(row));
}

} // namespace

class TestFatLosses : public QObject
{
    Q_OBJECT
private slots:
    void clusterSizeFollowsTheFat16Rule_data();
    void clusterSizeFollowsTheFat16Rule();
    void serialNumbers();
    void filesRoundUpToWholeClusters();
    void walkCountsEveryFileOnce();
    void walkCanBeStopped();
    void unknownVolumesAndDrives();
    void pageCalculatesAFatDrive();
    void pageRefusesOtherFileSystems();
    void pageWithoutSelectionDoesNothing();
};

void TestFatLosses::clusterSizeFollowsTheFat16Rule_data()
{
    QTest::addColumn<qint64>("driveBytes");
    QTest::addColumn<qint64>("cluster");
    QTest::newRow("2 GB, log 14.9998") << qint64(2147155968) << qint64(32768);
    QTest::newRow("500 MB, log 12.97") << qint64(524288000) << qint64(8192);
    QTest::newRow("300 MB, log 12.23") << qint64(314572800) << qint64(4096);
    QTest::newRow("one cluster's worth") << qint64(65535) << qint64(1);
    QTest::newRow("below 65535 bytes") << qint64(65534) << qint64(0);
    QTest::newRow("size unknown") << qint64(-1) << qint64(0);
    QTest::newRow("beyond 32 bits") << qint64(8) * 1024 * 1024 * 1024 << qint64(131072);
}

void TestFatLosses::clusterSizeFollowsTheFat16Rule()
{
    QFETCH(qint64, driveBytes);
    QFETCH(qint64, cluster);
    QCOMPARE(ClusterSizeFor(driveBytes), cluster);
}

void TestFatLosses::serialNumbers()
{
    QCOMPARE(FormatSerial(0x0ABC1234), QStringLiteral("0ABC-1234"));
    QCOMPARE(FormatSerial(0), QStringLiteral("0000-0000"));
    QCOMPARE(FormatSerial(0xFFFFFFFF), QStringLiteral("FFFF-FFFF"));
    QCOMPARE(SerialFromUuid(QStringLiteral("0ABC-1234")), 0x0ABC1234u);
    QCOMPARE(SerialFromUuid(QStringLiteral("e3b0c442-98fc-1c14-9afb-f4c8996fb924")), 0xE3B0C442u);
    QCOMPARE(SerialFromUuid(QStringLiteral("12-34")), 0u);
    QCOMPARE(SerialFromUuid(QString()), 0u);
    VolumeInfo info;
    info.serialNumber = 0x0ABC1234;
    info.fileSystemName = QStringLiteral("FAT");
    QCOMPARE(DriveInfoText(info), QStringLiteral("Serial Number:\t0ABC-1234\rFile System:\tFAT"));
}

void TestFatLosses::filesRoundUpToWholeClusters()
{
    FatLossTotals totals;
    addFileToTotals(totals, 1, 32768);
    QCOMPARE(totals.nominal, 1);
    QCOMPARE(totals.actual, 32768);
    addFileToTotals(totals, 32768, 32768);
    QCOMPARE(totals.nominal, 32769);
    QCOMPARE(totals.actual, 65536);
    addFileToTotals(totals, 0, 32768);
    QCOMPARE(totals.actual, 65536);
    addFileToTotals(totals, 32769, 32768);
    QCOMPARE(totals.actual, 65536 + 65536);
    QCOMPARE(totals.files, 4);
    QCOMPARE(totals.losses(), totals.actual - totals.nominal);
    // Sums beyond 32 bits stay exact.
    FatLossTotals big;
    for (int i = 0; i < 3; ++i)
        addFileToTotals(big, qint64(1) << 31, 32768);
    QCOMPARE(big.nominal, qint64(3) << 31);
    QCOMPARE(big.actual, qint64(3) << 31);
}

void TestFatLosses::walkCountsEveryFileOnce()
{
    FinderTree tree;
    QVERIFY(tree.isValid());
    tree.file("a.txt", QByteArray(10, 'a'));
    tree.file(".hidden", QByteArray(512, 'h'));
    tree.file("sub/b.bin", QByteArray(1024, 'b'));
    tree.file("sub/deeper/empty");
    tree.file("sub/deeper/c", QByteArray(1025, 'c'));
    tree.file(QByteArray("sub/\xff\xfe-not-utf8"), QByteArray(3, 'x'));
    tree.link("loop", "."); // links to folders are neither entered nor counted
    tree.link("sub/back", "../sub");
    tree.link("broken", "nowhere"); // any other link counts as itself: 7 bytes of text
    FatLossWalk walk;
    QList<QByteArray> folders;
    walk.folderEntered = [&](const QByteArray &folder) { folders << folder; };
    QVERIFY(walk.run(tree.root(), 1024));
    const FatLossTotals &totals = walk.totals();
    QCOMPARE(totals.files, 7);
    QCOMPARE(totals.nominal, 10 + 512 + 1024 + 0 + 1025 + 3 + 7);
    QCOMPARE(totals.actual, qint64(1024) * (1 + 1 + 1 + 0 + 2 + 1 + 1));
    QCOMPARE(folders.size(), 3);
    QVERIFY(folders.first().endsWith('/'));
}

void TestFatLosses::walkCanBeStopped()
{
    FinderTree tree;
    for (int i = 0; i < 20; ++i)
        tree.file(QByteArray("d") + QByteArray::number(i) + "/f", "x");
    FatLossWalk walk;
    int entered = 0;
    walk.folderEntered = [&](const QByteArray &) {
        if (++entered == 3) walk.stop();
    };
    QVERIFY(!walk.run(tree.root(), 512));
    QVERIFY(walk.totals().files < 20);
    // A later run starts from zero and goes to the end.
    walk.folderEntered = nullptr;
    QVERIFY(walk.run(tree.root(), 512));
    QCOMPARE(walk.totals().files, 20);
}

void TestFatLosses::unknownVolumesAndDrives()
{
    FixedVolumes volumes({});
    const VolumeInfo info = GetVolumeInfo("/no/such/volume");
    QVERIFY(info.label.isEmpty() && info.fileSystemName.isEmpty());
    QCOMPARE(info.serialNumber, 0u);
    QCOMPARE(info.maximumComponentLength, 0u);
    QCOMPARE(GetDriveTotalBytes("/no/such/volume"), -1);
    QCOMPARE(GetDriveTotalBytes(QByteArray()), -1);
    QVERIFY(GetDriveTotalBytes("/") > 0);
}

void TestFatLosses::pageCalculatesAFatDrive()
{
    FinderTree tree;
    tree.file("one", QByteArray(1, '1'));
    tree.file("dir/two", QByteArray(2000, '2'));
    tree.file("dir/empty");
    FixedVolumes volumes({volumeAt(tree.root(), QStringLiteral("FAT"))});
    ScopedNotices notices;
    TFatLossesPage page;
    QList<QByteArray> shown;
    int cleared = 0;
    page.showFolder = [&](const QByteArray &folder) { shown << folder; };
    page.clearStatus = [&] { ++cleared; };
    selectRow(page, 0);
    QCOMPARE(page.driveInfo(), QStringLiteral("Serial Number:\t0ABC-1234\rFile System:\tFAT"));
    QVERIFY(page.lblDriveInfo->text().contains(QStringLiteral("0ABC-1234")));

    QSignalSpy running(&page, &TFatLossesPage::runningChanged);
    page.btnFATLossesClick();
    QCOMPARE(notices->requests().size(), 0);
    QCOMPARE(running.size(), 2);
    QCOMPARE(cleared, 1);
    const qint64 driveBytes = GetDriveTotalBytes(tree.root());
    const qint64 cluster = ClusterSizeFor(driveBytes);
    QVERIFY(cluster > 0);
    QCOMPARE(page.nDriveSize->text(), formatGrouped(driveBytes) + QStringLiteral("  bytes"));
    QCOMPARE(page.nClusterSize->text(), formatGrouped(cluster) + QStringLiteral("  bytes"));
    QCOMPARE(page.nFilesCount->text(), QStringLiteral("3"));
    QCOMPARE(page.nNominalSpace->text(), formatGrouped(2001) + QStringLiteral("  bytes"));
    const qint64 actual = cluster * (1 + (2000 + cluster - 1) / cluster);
    QCOMPARE(page.nActualSpace->text(), formatGrouped(actual) + QStringLiteral("  bytes"));
    QCOMPARE(page.nLosses->text(), formatGrouped(actual - 2001) + QStringLiteral("  bytes"));
    QCOMPARE(page.btnFATLosses->text(), QStringLiteral("&Start"));
    QVERIFY(page.DiskListViewFATLosses->isEnabled());

    // While other work runs the button does nothing and the figures stay.
    page.otherWorkRunning = [] { return true; };
    page.btnFATLossesClick();
    QCOMPARE(page.nFilesCount->text(), QStringLiteral("3"));
    QCOMPARE(running.size(), 2);
}

void TestFatLosses::pageRefusesOtherFileSystems()
{
    FinderTree tree;
    tree.file("one", "1");
    FixedVolumes volumes({volumeAt(tree.root(), QStringLiteral("FAT32")),
                          volumeAt(tree.root() + "/", QStringLiteral("fat"))});
    ScopedNotices notices;
    TFatLossesPage page;
    page.nFilesCount->setText(QStringLiteral("old"));
    for (int row = 0; row < 2; ++row) {
        selectRow(page, row);
        page.btnFATLossesClick();
    }
    QCOMPARE(notices->requests().size(), 2);
    for (const auto &request : notices->requests()) {
        QCOMPARE(request.caption, QStringLiteral("Clarivex 2000"));
        QCOMPARE(request.text,
                 QStringLiteral("FAT Losses calculations are only valid for FAT16 partitions."));
        QCOMPARE(request.icon, ui::NoticeIcon::Information);
    }
    QVERIFY(page.nFilesCount->text().isEmpty());
    QVERIFY(page.nDriveSize->text().isEmpty());
}

void TestFatLosses::pageWithoutSelectionDoesNothing()
{
    FinderTree tree;
    FixedVolumes volumes({volumeAt(tree.root(), QStringLiteral("FAT"))});
    ScopedNotices notices;
    TFatLossesPage page;
    QVERIFY(page.DiskListViewFATLosses->GetSelectedDrives().isEmpty());
    page.nFilesCount->setText(QStringLiteral("kept"));
    page.btnFATLossesClick();
    QCOMPARE(notices->requests().size(), 0);
    QCOMPARE(page.nFilesCount->text(), QStringLiteral("kept"));
    QVERIFY(page.lblDriveInfo->text().isEmpty());
}

CLARIVEX_TEST_MAIN(TestFatLosses)
#include "tst_fat_losses.moc"
