#include "core/base/drive_marks.h"
#include "gui/search/disk_list_view.h"
#include "support/test_main.h"

#include <QDir>
#include <QSignalSpy>

using namespace clarivex;
using namespace clarivex::platform;

namespace {

Volume volume(const QByteArray &root, VolumeKind kind, const QString &label)
{
    Volume v;
    v.root = root;
    v.kind = kind;
    v.caption = volumeCaption(label, "/dev/x", root);
    return v;
}

} // namespace

class TestDiskListView : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { Volumes::clearFixedList(); }
    void fillsInVolumeOrder();
    void checkedRootsAndSummary();
    void summaryTexts_data();
    void summaryTexts();
    void selectionWithoutCheckBoxes();
    void selectLocalDrives();
    void driveMarks();
    void rootOfCaption_data();
    void rootOfCaption();
    void homeFolderComesFirst();
};

void TestDiskListView::init()
{
    Volumes::setFixedList(
        {volume("/", VolumeKind::Fixed, "root"), volume("/media/cd", VolumeKind::CdRom, "Disc (x)"),
         volume("/mnt/data", VolumeKind::Fixed, "Data"), volume("/tmp", VolumeKind::Ram, {})});
}

void TestDiskListView::fillsInVolumeOrder()
{
    TDiskListView list;
    list.SelectLocalDrives = false;
    list.FillDrives();
    QCOMPARE(list.topLevelItemCount(), 4);
    QCOMPARE(list.topLevelItem(1)->text(0), QStringLiteral("Disc (x) (/media/cd)"));
    QCOMPARE(list.RootOf(2), QByteArray("/mnt/data"));
    QCOMPARE(list.RootOf(9), QByteArray());
    QCOMPARE(list.headerItem()->text(0), QStringLiteral("Select drives"));
    list.FillDrives(); // rebuilt, not doubled
    QCOMPARE(list.topLevelItemCount(), 4);
    QVERIFY(list.GetSelectedDrives().isEmpty());
}

void TestDiskListView::checkedRootsAndSummary()
{
    TDiskListView list;
    list.SetCheckBoxes(true);
    list.SelectLocalDrives = false;
    list.FillDrives();
    QSignalSpy changes(&list, &TDiskListView::changed);
    list.SetChecked(3, true);
    list.SetChecked(0, true);
    QVERIFY(changes.count() >= 2);
    QCOMPARE(list.GetSelectedDrives(), (QList<QByteArray>{"/", "/tmp"}));
    list.topLevelItem(2)->setSelected(true); // selection does not count with check boxes
    QCOMPARE(list.GetSelectedDrives().size(), 2);
    list.SetChecked(0, false);
    list.SetChecked(3, false);
    QVERIFY(list.GetSelectedDrives().isEmpty());
}

void TestDiskListView::summaryTexts_data()
{
    QTest::addColumn<QList<QByteArray>>("roots");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << QList<QByteArray>{} << "No Drives Selected";
    QTest::newRow("one") << QList<QByteArray>{"/"} << "Selected drive: \r/ ";
    QTest::newRow("two") << QList<QByteArray>{"/", "/mnt/data"}
                         << "Selected drives: \r/ /mnt/data ";
}

void TestDiskListView::summaryTexts()
{
    QFETCH(QList<QByteArray>, roots);
    QFETCH(QString, text);
    QCOMPARE(SelectedDrivesSummary(roots), text);
}

void TestDiskListView::selectionWithoutCheckBoxes()
{
    TDiskListView list;
    list.SelectLocalDrives = false;
    list.setSelectionMode(QAbstractItemView::SingleSelection);
    list.FillDrives();
    QVERIFY(list.topLevelItem(0)->data(0, Qt::CheckStateRole).isNull());
    list.setCurrentItem(list.topLevelItem(2));
    QCOMPARE(list.GetSelectedDrives(), QList<QByteArray>{"/mnt/data"});
}

void TestDiskListView::selectLocalDrives()
{
    TDiskListView list;
    QVERIFY(list.SelectLocalDrives);
    list.FillDrives();
    QCOMPARE(list.GetSelectedDrives(), (QList<QByteArray>{"/", "/mnt/data"}));
    list.SetCheckBoxes(true); // pre-selected, not checked
    QVERIFY(list.GetSelectedDrives().isEmpty());
}

void TestDiskListView::driveMarks()
{
    TDiskListView list;
    list.SetCheckBoxes(true);
    list.SelectLocalDrives = false;
    list.FillDrives();
    list.SetChecked(1, true);
    const QByteArray marks = list.DriveMarks();
    QCOMPARE(marks, QByteArray("\xfe\xff\xfe\xfe"));

    TDiskListView other;
    other.SetCheckBoxes(true);
    other.FillDrives();
    other.SetChecked(3, true);
    other.ApplyDriveMarks({}); // none stored, a first start: the first row alone
    QCOMPARE(other.GetSelectedDrives(), QList<QByteArray>{"/"});
    other.ApplyDriveMarks(QByteArray("\xff\xfe")); // shorter: the rest unchecked
    QCOMPARE(other.GetSelectedDrives(), QList<QByteArray>{"/"});
    other.ApplyDriveMarks(marks);
    QCOMPARE(other.GetSelectedDrives(), QList<QByteArray>{"/media/cd"});
    QCOMPARE(driveChecks("x\xff", 3), (QList<bool>{false, true, false}));
}

void TestDiskListView::rootOfCaption_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("root");
    QTest::newRow("plain") << "Data (/mnt/data)"
                           << "/mnt/data";
    QTest::newRow("label with parentheses") << "Disc (x) (/media/cd)"
                                            << "/media/cd";
    QTest::newRow("no parentheses") << "Data"
                                    << "";
    QTest::newRow("not at the end") << "Data (/mnt) x"
                                    << "";
}

void TestDiskListView::rootOfCaption()
{
    QFETCH(QString, caption);
    QFETCH(QString, root);
    QCOMPARE(DriveRootOfCaption(caption), root);
}

void TestDiskListView::homeFolderComesFirst()
{
    Volumes::clearFixedList();
    const QString home = QDir::homePath(); // the test's own folder
    const QList<Volume> volumes = Volumes::list();
    QVERIFY(volumes.size() >= 2);
    QCOMPARE(volumes[0].root, QFile::encodeName(home));
    QCOMPARE(volumes[0].caption, "Home (" + home + ")");
    QVERIFY(volumes[0].label.isEmpty());
    QVERIFY(volumes[0].totalBytes > 0);
    // The mounted volumes follow, in the order of their roots.
    for (qsizetype i = 2; i < volumes.size(); ++i)
        QVERIFY(volumes[i - 1].root < volumes[i].root);

    TDiskListView list;
    list.SetCheckBoxes(true);
    list.FillDrives();
    QCOMPARE(list.topLevelItem(0)->text(0), "Home (" + home + ")");
    list.ApplyDriveMarks({});
    QCOMPARE(list.GetSelectedDrives(), QList<QByteArray>{QFile::encodeName(home)});
    QCOMPARE(SelectedDrivesSummary(list.GetSelectedDrives()), "Selected drive: \r" + home + " ");
    QCOMPARE(list.DriveMarks().left(2), QByteArray("\xff\xfe"));
}

CLARIVEX_TEST_MAIN(TestDiskListView)
#include "tst_disk_list_view.moc"
