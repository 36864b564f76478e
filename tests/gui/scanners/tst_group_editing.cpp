// Editing the file groups on the "Temporary Files" page of the real window:
// the group the list highlights, the masks the box shows and the group "Save"
// writes must always be the same one; and a scan refused for want of a
// checked group leaves the last results alone.

#include "core/platform/volumes.h"
#include "core/shell/registry_database.h"
#include "gui/scanners/temp_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/main_window.h"
#include "gui/toolkit/colour_combo_box.h"
#include "gui/toolkit/wrap_check_box.h"
#include "support/finder_fixture.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace clarivex;
using clarivex::test::FinderTree;
using clarivex::test::ScopedNotices;

class TestGroupEditing : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { platform::Volumes::clearFixedList(); }
    void editing_data();
    void editing();

private:
    std::unique_ptr<FinderTree> m_tree;
};

void TestGroupEditing::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
    m_tree = std::make_unique<FinderTree>();
    m_tree->file("c/a.tmp", "1");
    m_tree->file("c/b.bak", "22");
    platform::Volume volume;
    volume.root = m_tree->path("c");
    volume.caption = "c";
    platform::Volumes::setFixedList({volume});
}

void TestGroupEditing::editing_data()
{
    // Steps: "click N", "add NAME", "remove", "type TEXT", "save", "scan", "uncheck all".
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("current");          // highlighted row afterwards (-1: none)
    QTest::addColumn<QString>("maskBox");      // what the mask box shows
    QTest::addColumn<int>("groups");           // how many groups are left
    QTest::addColumn<QString>("written");      // "N=MASKS": a group's masks afterwards
    QTest::addColumn<int>("rows");             // rows of the found-file list (-1: not checked)
    QTest::addColumn<QStringList>("messages"); // the notices shown

    QTest::newRow("add selects the new group") << QStringList{"click 1", "add Mine"} << 6 << "" << 7
                                               << "1=*.BAK;*.OLD;" << -1 << QStringList{};
    QTest::newRow("save after add writes the new group, not the one shown before")
        << QStringList{"click 1", "add Mine", "type *.x", "save"} << 6 << "*.x;" << 7
        << "1=*.BAK;*.OLD;" << -1 << QStringList{};
    QTest::newRow("add then save keeps the previous group's masks")
        << QStringList{"click 1", "add Mine", "type *.x", "save"} << 6 << "*.x;" << 7 << "6=*.x;"
        << -1 << QStringList{};
    QTest::newRow("remove shows the neighbour that is highlighted")
        << QStringList{"click 2", "remove"} << 2 << "*.GID;*.FTS;*.FTG;" << 5
        << "2=*.GID;*.FTS;*.FTG;" << -1 << QStringList{};
    QTest::newRow("save after remove writes the highlighted neighbour")
        << QStringList{"click 2", "remove", "type *.hlp", "save"} << 2 << "*.hlp;" << 5
        << "2=*.hlp;" << -1 << QStringList{};
    QTest::newRow("removing the last row shows the one before")
        << QStringList{"click 5", "remove"} << 4 << "MSCREATE.DIR;*.---;" << 5
        << "4=MSCREATE.DIR;*.---;" << -1 << QStringList{};
    QTest::newRow("removing every group empties the box, and save writes nowhere")
        << QStringList{"click 0", "remove", "remove",   "remove", "remove",
                       "remove",  "remove", "type *.z", "save"}
        << -1 << "*.z" << 0 << "" << -1 << QStringList{};
    QTest::newRow("no checked group: the message, and the last results stay")
        << QStringList{"scan", "uncheck all", "scan"} << -1 << "" << 6 << "" << 2
        << QStringList{"Please select at least a Group to be scanned"};
    QTest::newRow("a group checked again scans again")
        << QStringList{"scan", "uncheck all", "scan", "check 0", "scan"} << -1 << "" << 6 << "" << 1
        << QStringList{"Please select at least a Group to be scanned"};
}

void TestGroupEditing::editing()
{
    QFETCH(QStringList, steps);
    QFETCH(int, current);
    QFETCH(QString, maskBox);
    QFETCH(int, groups);
    QFETCH(QString, written);
    QFETCH(int, rows);
    QFETCH(QStringList, messages);

    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    TTempFilesPage *page = window.tempFilesPage();
    page->DiskListViewTF->SetChecked(0, true);
    page->cbTFPlaySound->setChecked(false);
    QListWidget *list = page->clbTempFilesToScanFor;
    for (const QString &step : steps) {
        const QString word = step.section(' ', 0, 0);
        const QString rest = step.section(' ', 1);
        if (word == "click") {
            list->setCurrentRow(rest.toInt());
        } else if (word == "add") {
            notices->queueText(rest);
            page->btnTFAddFile->click();
        } else if (word == "remove") {
            page->btnTFRemoveFile->click();
        } else if (word == "type") {
            page->txtTempFilesMask->setText(rest);
        } else if (word == "save") {
            page->btnTFSave->click();
        } else if (word == "scan") {
            window.btnScanTempFilesClick();
        } else if (word == "check") {
            list->item(rest.toInt())->setCheckState(Qt::Checked);
        } else if (step == "uncheck all") {
            for (int i = 0; i < list->count(); ++i)
                list->item(i)->setCheckState(Qt::Unchecked);
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
    }

    if (current >= 0) {
        QCOMPARE(list->currentRow(), current);
        QVERIFY(list->item(current)->isSelected());
        QCOMPARE(page->CurrentGroup, current);
        QCOMPARE(page->cbTempFilesColor->colourText(), page->GroupColors[current]);
    }
    QCOMPARE(page->txtTempFilesMask->text(), maskBox);
    QCOMPARE(list->count(), groups);
    QCOMPARE(page->GroupMasks.size(), groups);
    QCOMPARE(page->GroupColors.size(), groups);
    if (!written.isEmpty())
        QCOMPARE(page->GroupMasks[written.section('=', 0, 0).toInt()], written.section('=', 1));
    if (rows >= 0) {
        window.FileListView->Model()->FlushPending();
        QCOMPARE(window.FileListView->Model()->rowCount(), rows);
        QCOMPARE(window.FoundFileCount, rows);
    }
    QStringList shown;
    for (const auto &request : notices->requests()) {
        if (request.kind != test::ScriptedNotices::Kind::Input) shown << request.text;
    }
    QCOMPARE(shown, messages);
    QVERIFY(!window.scanInProgress() && window.btnScan->isEnabled());
}

CLARIVEX_TEST_MAIN(TestGroupEditing)
#include "tst_group_editing.moc"
