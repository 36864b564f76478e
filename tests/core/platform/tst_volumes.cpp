#include "core/platform/volumes.h"
#include "support/test_main.h"

#include <QTemporaryDir>

using namespace clarivex::platform;

class TestVolumes : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Volumes::clearFixedList(); }
    void parsesMountInfo();
    void pseudoFileSystems_data();
    void pseudoFileSystems();
    void kinds_data();
    void kinds();
    void fatNames_data();
    void fatNames();
    void captions();
    void rootOfPath_data();
    void rootOfPath();
    void fixedListReplacesTheMachine();
    void folderAsDrive();
    void mountedVolumesAreReal();
};

void TestVolumes::parsesMountInfo()
{
    const QByteArray text =
        "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "90 26 8:17 / /media/u/My\\040Stick rw shared:1 master:2 - vfat /dev/sdb1 rw\n"
        "91 26 0:50 / /mnt/share rw - nfs4 server:/export rw\n"
        "garbage line\n"
        "92 26 0:51 / relative rw - ext4 /dev/x rw\n";
    const QList<MountEntry> entries = parseMountInfo(text);
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries[0].mountPoint, QByteArray("/"));
    QCOMPARE(entries[0].fileSystemType, QByteArray("ext4"));
    QCOMPARE(entries[1].mountPoint, QByteArray("/media/u/My Stick"));
    QCOMPARE(entries[1].source, QByteArray("/dev/sdb1"));
    QCOMPARE(entries[2].source, QByteArray("server:/export"));
    QCOMPARE(unescapeMountField("a\\134b\\011\\9"), QByteArray("a\\b\t\\9"));
}

void TestVolumes::pseudoFileSystems_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("mountPoint");
    QTest::addColumn<bool>("pseudo");
    QTest::newRow("proc") << QByteArray("proc") << QByteArray("/proc") << true;
    QTest::newRow("sysfs") << QByteArray("sysfs") << QByteArray("/sys") << true;
    QTest::newRow("cgroup2") << QByteArray("cgroup2") << QByteArray("/sys/fs/cgroup") << true;
    QTest::newRow("devpts") << QByteArray("devpts") << QByteArray("/dev/pts") << true;
    QTest::newRow("tmpfs in /run") << QByteArray("tmpfs") << QByteArray("/run/user/1000") << true;
    QTest::newRow("snap") << QByteArray("squashfs") << QByteArray("/snap/core/1") << true;
    QTest::newRow("root") << QByteArray("ext4") << QByteArray("/") << false;
    QTest::newRow("tmp in RAM") << QByteArray("tmpfs") << QByteArray("/tmp") << false;
    QTest::newRow("stick") << QByteArray("vfat") << QByteArray("/run/media/u/STICK") << false;
    QTest::newRow("/devices is no /dev") << QByteArray("ext4") << QByteArray("/devices") << false;
}

void TestVolumes::pseudoFileSystems()
{
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, mountPoint);
    QFETCH(bool, pseudo);
    QCOMPARE(isPseudoFileSystem({mountPoint, type, "src"}), pseudo);
}

void TestVolumes::kinds_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("mountPoint");
    QTest::addColumn<bool>("removableFlag");
    QTest::addColumn<int>("kind");
    QTest::newRow("fixed") << QByteArray("ext4") << QByteArray("/home") << false
                           << int(VolumeKind::Fixed);
    QTest::newRow("usb flag") << QByteArray("ext4") << QByteArray("/mnt/x") << true
                              << int(VolumeKind::Removable);
    QTest::newRow("under /media") << QByteArray("vfat") << QByteArray("/media/u/S") << false
                                  << int(VolumeKind::Removable);
    QTest::newRow("nfs") << QByteArray("nfs") << QByteArray("/mnt/n") << false
                         << int(VolumeKind::Remote);
    QTest::newRow("cifs") << QByteArray("cifs") << QByteArray("/media/c") << true
                          << int(VolumeKind::Remote);
    QTest::newRow("sshfs") << QByteArray("fuse.sshfs") << QByteArray("/h") << false
                           << int(VolumeKind::Remote);
    QTest::newRow("cd") << QByteArray("iso9660") << QByteArray("/media/cd") << true
                        << int(VolumeKind::CdRom);
    QTest::newRow("dvd") << QByteArray("udf") << QByteArray("/mnt/dvd") << false
                         << int(VolumeKind::CdRom);
    QTest::newRow("tmpfs") << QByteArray("tmpfs") << QByteArray("/tmp") << false
                           << int(VolumeKind::Ram);
    QTest::newRow("ramfs") << QByteArray("ramfs") << QByteArray("/r") << false
                           << int(VolumeKind::Ram);
}

void TestVolumes::kinds()
{
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, mountPoint);
    QFETCH(bool, removableFlag);
    QFETCH(int, kind);
    QCOMPARE(int(classifyVolume({mountPoint, type, "/dev/x"}, removableFlag)), kind);
}

void TestVolumes::fatNames_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<qint64>("clusters");
    QTest::addColumn<QString>("name");
    QTest::newRow("small fat") << QByteArray("vfat") << qint64(65524) << "FAT";
    QTest::newRow("fat32 boundary") << QByteArray("vfat") << qint64(65525) << "FAT32";
    QTest::newRow("msdos") << QByteArray("msdos") << qint64(100) << "FAT";
    QTest::newRow("ext4 unchanged") << QByteArray("ext4") << qint64(10) << "ext4";
}

void TestVolumes::fatNames()
{
    QFETCH(QByteArray, type);
    QFETCH(qint64, clusters);
    QFETCH(QString, name);
    QCOMPARE(fileSystemName(type, clusters), name);
}

void TestVolumes::captions()
{
    QCOMPARE(volumeCaption("Data", "/dev/sdb1", "/mnt/data"), QStringLiteral("Data (/mnt/data)"));
    QCOMPARE(volumeCaption({}, "/dev/sdb1", "/mnt/data"), QStringLiteral("sdb1 (/mnt/data)"));
    QCOMPARE(volumeCaption({}, "tmpfs", "/tmp"), QStringLiteral("tmpfs (/tmp)"));
}

void TestVolumes::rootOfPath_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("root");
    QTest::newRow("on /") << QByteArray("/home/u/a.txt") << QByteArray("/");
    QTest::newRow("on a volume") << QByteArray("/mnt/data/a.txt") << QByteArray("/mnt/data");
    QTest::newRow("the root itself") << QByteArray("/mnt/data") << QByteArray("/mnt/data");
    QTest::newRow("name that only begins alike")
        << QByteArray("/mnt/database/x") << QByteArray("/");
    QTest::newRow("nested volume") << QByteArray("/mnt/data/usb/x") << QByteArray("/mnt/data/usb");
}

void TestVolumes::rootOfPath()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, root);
    QCOMPARE(Volumes::rootOf(path, {"/mnt/data/usb", "/", "/mnt/data"}), root);
}

void TestVolumes::fixedListReplacesTheMachine()
{
    Volume a;
    a.root = "/srv/a";
    a.caption = "A (/srv/a)";
    Volumes::setFixedList({a});
    QVERIFY(Volumes::hasFixedList());
    QCOMPARE(Volumes::list().size(), 1);
    QCOMPARE(Volumes::list()[0].root, QByteArray("/srv/a"));
    Volumes::setFixedList({});
    QVERIFY(Volumes::list().isEmpty());
    Volumes::clearFixedList();
    QVERIFY(!Volumes::hasFixedList());
}

void TestVolumes::folderAsDrive()
{
    QTemporaryDir dir;
    const auto volume = volumeForFolder(QFile::encodeName(dir.path()) + "/");
    QVERIFY(volume);
    QCOMPARE(volume->root, QFile::encodeName(dir.path()));
    QVERIFY(volume->caption.endsWith(QStringLiteral(" (") + dir.path() + QLatin1Char(')')));
    QVERIFY(volume->totalBytes > 0 && volume->clusterSize > 0);
    QVERIFY(volume->freeBytes <= volume->totalBytes);
    QVERIFY(!volumeForFolder(QFile::encodeName(dir.path()) + "/missing"));
}

void TestVolumes::mountedVolumesAreReal()
{
    const QList<Volume> volumes = Volumes::list();
    QVERIFY(!volumes.isEmpty());
    bool hasRoot = false;
    for (const Volume &v : volumes) {
        hasRoot |= v.root == "/";
        QVERIFY(!v.root.startsWith("/proc") && !v.root.startsWith("/sys"));
        QVERIFY(v.caption.endsWith(QStringLiteral(" (") + QFile::decodeName(v.root) +
                                   QLatin1Char(')')));
        QVERIFY(!v.fileSystem.isEmpty());
    }
    QVERIFY(hasRoot);
}

CLARIVEX_TEST_MAIN_CORE(TestVolumes)
#include "tst_volumes.moc"
