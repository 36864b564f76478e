#include "core/base/settings_types.h"
#include "gui/scanners/dead_shortcuts_page.h"
#include "support/test_main.h"

#include <QCheckBox>
#include <QPlainTextEdit>

using namespace clarivex;

class TestDeadShortcutsPage : public QObject
{
    Q_OBJECT
private slots:
    void initialStates();
    void explanationIsTheMemo();
    void roundTrip_data();
    void roundTrip();
};

void TestDeadShortcutsPage::initialStates()
{
    TDeadShortcutsPage page;
    const struct
    {
        QCheckBox *box;
        const char *name;
        const char *caption;
        bool checked;
    } expected[] = {
        {page.chkDeadShortcutsDesktop, "chkDeadShortcutsDesktop",
         "Seach for Dead Shortcuts on the Desktop", true},
        {page.chkDeadShortcutsStartMenu, "chkDeadShortcutsStartMenu",
         "Seach for Dead Shortcuts on the Start Menu", true},
        {page.chkDeadShortcutsRecent, "chkDeadShortcutsRecent",
         "Seach for Dead Shortcuts on the Recent Documents Menu", true},
        {page.chkDSCleanRemovableDrives, "chkDSCleanRemovableDrives",
         "Clean broken shortcuts linked to removable drives", false},
        {page.chkDSCleanCDROMDrives, "chkDSCleanCDROMDrives",
         "Clean broken shortcuts linked to CD-ROM drives", false},
        {page.chkDSCleanNetworkDrives, "chkDSCleanNetworkDrives",
         "Clean broken shortcuts linked to remote/network drives", false},
    };
    for (const auto &e : expected) {
        QCOMPARE(e.box->objectName(), QString::fromLatin1(e.name));
        QCOMPARE(e.box->text(), QString::fromLatin1(e.caption));
        QCOMPARE(e.box->isChecked(), e.checked);
    }
}

void TestDeadShortcutsPage::explanationIsTheMemo()
{
    TDeadShortcutsPage page;
    QVERIFY(page.MemoDeadShortcuts->isReadOnly());
    QVERIFY(page.explanation().startsWith("A dead shortcut points to a file"));
    QCOMPARE(page.explanation(), page.MemoDeadShortcuts->toPlainText());
}

void TestDeadShortcutsPage::roundTrip_data()
{
    QTest::addColumn<bool>("desktop");
    QTest::addColumn<bool>("startMenu");
    QTest::addColumn<bool>("recent");
    QTest::newRow("none") << false << false << false;
    QTest::newRow("desktop only") << true << false << false;
    QTest::newRow("start menu and recent") << false << true << true;
}

void TestDeadShortcutsPage::roundTrip()
{
    QFETCH(bool, desktop);
    QFETCH(bool, startMenu);
    QFETCH(bool, recent);
    const DeadShortcutSettings stored{desktop, startMenu, recent};
    TDeadShortcutsPage page;
    page.chkDSCleanNetworkDrives->setChecked(true);
    page.loadSettings(stored);
    DeadShortcutSettings saved;
    page.saveSettings(saved);
    QCOMPARE(saved, stored);
    QVERIFY(page.chkDSCleanNetworkDrives->isChecked()); // not a stored setting
}

CLARIVEX_TEST_MAIN(TestDeadShortcutsPage)
#include "tst_dead_shortcuts_page.moc"
