#include "shell/main_window.h"
#include "support/test_main.h"
#include "ui/side_bar.h"

#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>

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
    action->trigger();
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
             (QStringList{"&Show...", "-Scan", "&Scan For", "-About", "About Clarivex 2000...",
                          "-Exit this application", "&Close"}));
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

CLARIVEX_TEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
