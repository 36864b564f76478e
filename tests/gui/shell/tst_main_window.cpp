#include "core/platform/volumes.h"
#include "core/shell/custom_registry.h"
#include "core/utilities/uninstall_entries.h"
#include "gui/scanners/fat_losses_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/main_window.h"
#include "gui/toolkit/side_bar.h"
#include "gui/utilities/add_remove_programs_page.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace clarivex;

namespace {
QAction *menuAction(QMenuBar *bar, const QString &menu, const QString &item)
{
    for (QAction *top : bar->actions()) {
        if (top->text() != menu || !top->menu()) continue;
        for (QAction *action : top->menu()->actions()) {
            if (action->text() == item) return action;
        }
    }
    return nullptr;
}

QStringList captions(const QMenu *menu)
{
    QStringList list;
    for (QAction *action : menu->actions())
        list << (action->isSeparator() ? QStringLiteral("-") + action->text() : action->text());
    return list;
}
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void sideBarAndMenuShowTheSamePage_data();
    void sideBarAndMenuShowTheSamePage();
    void aboutKeepsThePageAndDisablesScan();
    void scanningStateTogglesTheScanCommands();
    void menusCarryTheirCaptions();
    void cannotShrinkBelowMinimum();
    void everyPageHasItsControls();
    void fatLossesCountBlocksTheScans();
    void hideWithoutTrayMinimisesAndSaysSoOnce();
};

void TestMainWindow::sideBarAndMenuShowTheSamePage_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("scanEnabled");
    QTest::newRow("Logs") << "Logs"
                          << "&Scan Tools"
                          << "&Logs" << false;
    QTest::newRow("Clean Directories") << "Clean Directories"
                                       << "&Scan Tools"
                                       << "&Clean Directories" << true;
    QTest::newRow("Temporary Files") << "Temporary Files"
                                     << "&Scan Tools"
                                     << "&Temporary Files" << true;
    QTest::newRow("FAT-Losses") << "FAT-Losses"
                                << "&Scan Tools"
                                << "&FAT-Losses" << false;
    QTest::newRow("Add / Remove Programs") << "Add / Remove Programs"
                                           << "S&ystem"
                                           << "&Add/Remove Programs" << false;
}

void TestMainWindow::sideBarAndMenuShowTheSamePage()
{
    QFETCH(QString, page);
    QFETCH(QString, menu);
    QFETCH(QString, item);
    QFETCH(bool, scanEnabled);
    TClarivexMainForm fromBar;
    QSignalSpy barShown(&fromBar, &TClarivexMainForm::pageShown);
    QVERIFY(fromBar.sideBar()->clickItem(page));
    TClarivexMainForm fromMenu;
    QSignalSpy menuShown(&fromMenu, &TClarivexMainForm::pageShown);
    QAction *action = menuAction(fromMenu.menuBar(), menu, item);
    QVERIFY(action);
    fromMenu.sideBar()->setActiveGroup(2); // "More": the menu opens the page's own group
    action->trigger();
    QCOMPARE(fromMenu.sideBar()->activeGroup(), menu == "S&ystem" ? 1 : 0);
    for (TClarivexMainForm *window : {&fromBar, &fromMenu}) {
        QCOMPARE(window->currentPage(), page);
        QCOMPARE(window->headerText(), " " + page);
        QCOMPARE(window->btnScanNow->isEnabled(), scanEnabled);
    }
    QCOMPARE(barShown.size(), 1);
    QCOMPARE(menuShown.size(), 1);
}

void TestMainWindow::aboutKeepsThePageAndDisablesScan()
{
    TClarivexMainForm window;
    window.ShowPage("Temporary Files");
    QVERIFY(window.btnScanNow->isEnabled());
    QSignalSpy about(&window, &TClarivexMainForm::aboutRequested);
    QVERIFY(window.sideBar()->clickItem("About"));
    QCOMPARE(about.size(), 1);
    QCOMPARE(window.currentPage(), QStringLiteral("Temporary Files"));
    QVERIFY(!window.btnScanNow->isEnabled());
    QVERIFY(!window.sideBar()->clickItem("No Such Item"));
    window.ShowPage("No Such Page"); // changes nothing
    QCOMPARE(window.currentPage(), QStringLiteral("Temporary Files"));
    QVERIFY(window.page("Dead Links")); // in the stack, reached by no item
}

void TestMainWindow::scanningStateTogglesTheScanCommands()
{
    TClarivexMainForm window;
    window.ShowPage("Temporary Files");
    window.EnterScanningState();
    for (QPushButton *b :
         {window.btnScan, window.btnScanNow, window.btnCleanAll, window.btnCleanSelected})
        QVERIFY(!b->isEnabled());
    QVERIFY(window.btnStop->isEnabled() && window.btnHide->isEnabled());
    QVERIFY(!window.scanMenu()->isEnabled());
    QCOMPARE(window.cursor().shape(), Qt::WaitCursor);
    window.LeaveScanningState();
    for (QPushButton *b :
         {window.btnScan, window.btnScanNow, window.btnCleanAll, window.btnCleanSelected})
        QVERIFY(b->isEnabled());
    QVERIFY(window.scanMenu()->isEnabled());
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);

    // The list's hint warns about duplicates, and only for their scan; leaving
    // the scanning state keeps it.
    window.ScanKind = skDuplicates;
    window.EnterScanningState();
    window.LeaveScanningState();
    QVERIFY(window.FileListView->toolTip().startsWith(
        QStringLiteral("NOTE: Only delete a duplicate file")));
    QVERIFY(window.FileListView->toolTip().endsWith(
        QStringLiteral("will not be needed  by any application.")));
    window.ScanKind = skTempFiles;
    window.EnterScanningState();
    QVERIFY(window.FileListView->toolTip().isEmpty());
    window.LeaveScanningState();

    QVERIFY(!window.scanInProgress());
    window.setScanCommandsEnabled(false);
    QVERIFY(window.scanInProgress());
}

void TestMainWindow::menusCarryTheirCaptions()
{
    TClarivexMainForm window;
    QStringList tops;
    for (QAction *top : window.menuBar()->actions())
        tops << top->text();
    QCOMPARE(tops, (QStringList{"&File", "&Scan Tools", "S&ystem", "Scan...", "&Help"}));
    QCOMPARE(captions(window.scanMenu()),
             (QStringList{"Temporary Files", "Duplicate Files", "Dead Shortcuts", "Directories"}));
    QCOMPARE(captions(window.trayMenu()),
             (QStringList{"&Show...", "-Scan", "&Scan For", "&Undo Last Clean", "-About",
                          "About Clarivex 2000...", "-Exit this application", "&Close"}));
    QSignalSpy scans(&window, &TClarivexMainForm::scanRequested);
    window.scanMenu()->actions().at(3)->trigger();
    QCOMPARE(scans.size(), 1);
    QCOMPARE(scans.first().first().value<TScanKind>(), skDirectories);
}

void TestMainWindow::cannotShrinkBelowMinimum()
{
    TClarivexMainForm window;
    window.show();
    window.resize(300, 200);
    QVERIFY(window.width() >= 600 && window.height() >= 460);
    QCOMPARE(window.windowTitle(), QStringLiteral("Clarivex 2000 3.5"));
}

void TestMainWindow::everyPageHasItsControls()
{
    {
        TRegistry registry;
        registry.SetRoot(RegistryHive::LocalMachine);
        QVERIFY(registry.OpenPath(kUninstallKey + QStringLiteral("tool"), true));
        registry.WriteText(QStringLiteral("DisplayName"), QStringLiteral("Some Tool"));
    }
    TClarivexMainForm window;
    window.createWindowSteps({});
    QStringList pages = TClarivexMainForm::pageNames();
    pages << QStringLiteral("Dead Links");
    for (const QString &name : pages) {
        QWidget *page = window.page(name);
        QVERIFY2(page, qPrintable(name));
        QVERIFY2(page->findChildren<QWidget *>().size() > 2, qPrintable(name));
    }
    // The uninstall list is read as the window is made.
    QCOMPARE(window.addRemoveProgramsPage()->lvAdd_RemovePrograms->count(), 1);
    TRegistry registry;
    registry.SetRoot(RegistryHive::LocalMachine);
    (void)registry.DropKey(QStringLiteral("SOFTWARE"));
}

void TestMainWindow::fatLossesCountBlocksTheScans()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("a")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("abc") == 3);
    file.close();
    platform::Volume volume;
    volume.root = QFile::encodeName(dir.path());
    volume.caption = QStringLiteral("STICK (%1)").arg(dir.path());
    volume.fileSystem = QStringLiteral("FAT");
    platform::Volumes::setFixedList({volume});
    TClarivexMainForm window;
    TFatLossesPage *page = window.fatLossesPage();
    page->DiskListViewFATLosses->setCurrentItem(page->DiskListViewFATLosses->topLevelItem(0));
    QList<bool> scanWhileCounting;
    connect(page, &TFatLossesPage::runningChanged, this,
            [&](bool) { scanWhileCounting << window.scanInProgress(); });
    page->btnFATLossesClick();
    QCOMPARE(scanWhileCounting, QList<bool>({true, false}));
    QCOMPARE(page->nFilesCount->text(), QStringLiteral("1"));

    // And while a scan runs, the count does not start.
    window.setScanCommandsEnabled(false);
    page->nFilesCount->clear();
    page->btnFATLossesClick();
    QVERIFY(page->nFilesCount->text().isEmpty());
    window.setScanCommandsEnabled(true);
    platform::Volumes::clearFixedList();
}

void TestMainWindow::hideWithoutTrayMinimisesAndSaysSoOnce()
{
    clarivex::test::ScopedNotices notices;
    TClarivexMainForm window;
    window.show();
    QVERIFY(!window.hasTrayIcon()); // the offscreen platform has no tray
    window.btnHide->click();
    QVERIFY(window.isMinimized());
    window.showNormal();
    window.btnHide->click();
    QVERIFY(window.isMinimized());
    QCOMPARE(notices->requests().size(), 1);
    QVERIFY(notices->requests().first().text.contains("minimised instead"));
}

CLARIVEX_TEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
