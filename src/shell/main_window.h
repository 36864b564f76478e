#pragma once

// The main window: side bar of tools, a stack of option pages under a header,
// the column of scan and clean buttons with the busy animation and the found
// totals, the tabbed area with the found files, the status bar, the main menu
// and the tray icon with its own menu. Page contents are built by the parts
// that own them; the window holds the navigation and the scanning state.

#include <QMainWindow>
#include <QPointer>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QSystemTrayIcon;
class QTabWidget;

namespace clarivex {

class TOptionsPage;
class TipsPanel;

namespace ui {
class BannerMenu;
class BusyAnimation;
class SideBar;
} // namespace ui

enum TScanKind : quint8 {
    skTempFiles = 0,
    skDuplicates = 1,
    skDirectories = 2,
    skDeadShortcuts = 3
};

class TClarivexMainForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TClarivexMainForm(QWidget *parent = nullptr);
    ~TClarivexMainForm() override;

    // The names by which pages are selected, saved and compared, side-bar order.
    static const QStringList &pageNames();
    static bool isScanPage(const QString &name);

    void ShowPage(const QString &name);
    QString currentPage() const;
    QWidget *page(const QString &name) const;
    QString headerText() const;

    void ShowTips();
    void ShowAbout();
    void EnterScanningState();
    void LeaveScanningState();
    void btnHideClick();
    // The enabled "Scan Files" drop-down is the test that no scan runs.
    bool scanInProgress() const;
    void setScanCommandsEnabled(bool enabled);

    TScanKind ScanKind = skTempFiles;

    ui::SideBar *sideBar() const { return AutoOutLookBar; }
    TOptionsPage *optionsPage() const { return m_optionsPage; }
    TipsPanel *tipsPanel() const { return m_tipsPanel; }
    // Puts a page's contents into its place in the stack.
    void setPageContent(const QString &name, QWidget *content);
    QTabWidget *resultTabs() const { return ExtPageControl; }
    QMenu *trayMenu() const;
    QMenu *scanMenu() const { return MenuItemScan; }
    QProgressBar *statusProgressBar() const { return StatusProgressBar; }
    void setStatusText(int panel, const QString &text);
    QString statusText(int panel) const;
    void setFoundTotalsText(const QString &files, const QString &bytes);

    QPushButton *btnScanNow = nullptr;
    QPushButton *btnScan = nullptr;
    QPushButton *btnStop = nullptr;
    QPushButton *btnCleanSelected = nullptr;
    QPushButton *btnCleanAll = nullptr;
    QPushButton *btnHide = nullptr;

signals:
    void pageShown(const QString &name);
    void scanRequested(TScanKind kind);
    void stopRequested();
    void cleanRequested(bool selectedOnly);
    void aboutRequested();
    void helpRequested();
    void updateCheckRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildSideBar();
    QWidget *buildButtonColumn();
    void buildScanPopup();
    void buildStatusBar();
    void buildMainMenu();
    void buildTray();
    void showFromTray();

    ui::SideBar *AutoOutLookBar = nullptr;
    QLabel *lblTop = nullptr;
    QStackedWidget *Notebook = nullptr;
    ui::BusyAnimation *Animate = nullptr;
    QLabel *lblBytesFound = nullptr;
    QLabel *lblFilesFound = nullptr;
    QFrame *ExplorerPopup = nullptr;
    QTabWidget *ExtPageControl = nullptr;
    QLabel *m_statusPanels[2] = {nullptr, nullptr};
    QProgressBar *StatusProgressBar = nullptr;
    QMenu *MenuItemScan = nullptr;
    QSystemTrayIcon *PGTrayIcon95 = nullptr;
    ui::BannerMenu *m_trayMenu = nullptr;
    TOptionsPage *m_optionsPage = nullptr;
    TipsPanel *m_tipsPanel = nullptr;
};

} // namespace clarivex
