#pragma once

// The main window: side bar of tools, a stack of option pages under a header,
// the column of scan and clean buttons with the busy animation and the found
// totals, the tabbed area with the found files, the status bar, the main menu
// and the tray icon with its own menu. Page contents are built by the parts
// that own them; the window holds the navigation and the scanning state.

#include "core/cleaning/system_protection.h"
#include "core/search/row_origin.h"
#include "core/shell/settings_catalogue.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QSplitter;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;

namespace clarivex {

class TKvFileListView;
class EventLog;
class TLogsPage;
class TOptionsPage;
class TPathTreeView;
class TFoundFilesMap;
class TSchedulePage;
class TTempFilesPage;
class TDuplicateFilesPage;
class TDeadShortcutsPage;
class TCleanDirectoriesPage;
class TDeadLinksPage;
class TFatLossesPage;
class TAddRemoveProgramsPage;
class TSystemToolsPage;
class TKvFindFile;
class TAutoUpgrade;
class TempFileScan;
class ScheduleUnit;
class DirectoryScan;
class DeadShortcutScan;
class DuplicateScan;
class DuplicateCompare;
class TipsPanel;

namespace platform {
class CopyDataServer;
}

namespace cleaning {
enum class LinkKind : quint8;
class CleanRecorder;
class TZip;
struct CleanChoice;
struct CleanSelection;
struct CleanTally;
struct CleanPrompts;
struct CleanReport;
struct CleanRow;
struct CleanSettings;
} // namespace cleaning

namespace ui {
class CleanNotifier;
class CleanProgress;
class BannerMenu;
class TFileListActions;
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
    void OpenHelp();

    // Reads every setting into the controls; a failure is shown by the error
    // dialog and ends the load there (what was read stays). False on failure.
    bool LoadAllSettings();
    // Writes every setting from the controls; a failure is shown and false.
    bool SaveAllSettings();
    // The settings as the controls hold them now (pages without controls of
    // their own keep what was loaded).
    SettingsCatalogue currentSettings() const;
    void applySettings(const SettingsCatalogue &settings);

    // The application-wide error dialog for an error nobody caught.
    void ShowErrorDialog(const QString &message);
    // WriteLogEvent: one event into the log and onto the "Logs" page. A log
    // that cannot be written is shown by the error dialog, and false.
    bool WriteLogEvent(const QString &text);
    EventLog &eventLog();
    TLogsPage *logsPage() const { return m_logsPage; }
    TSchedulePage *schedulePage() const { return m_schedulePage; }
    void EnterScanningState();
    void LeaveScanningState();
    void btnHideClick();
    // The enabled "Scan Files" drop-down is the test that no scan runs.
    bool scanInProgress() const;
    void setScanCommandsEnabled(bool enabled);

    TScanKind ScanKind = skTempFiles;
    bool AutoCleaning = false;
    // True while a scheduled run performs its scans: the directory and
    // dead-shortcut scans then add to the list instead of clearing it.
    bool ScheduledRunActive = false;

    // The clean history: "Undo Last Clean" (File and tray menus), the
    // "Clean History" dialog, and the undo of one clean (logged). `progress`
    // gets (done, total). The text says what came back.
    void UndoLastClean();
    void ShowCleanHistory();
    QString undoClean(qint64 clean, const std::function<bool(qsizetype, qsizetype)> &progress = {});
    ui::CleanNotifier *cleanNotifier() const { return m_cleanNotifier; }

    // The scan commands.
    void btnScanNowClick();
    void btnScanTempFilesClick();
    void btnStopClick();
    // The directory and dead-shortcut scans (main_window_directories.cpp).
    void btnScanDirectoriesClick();
    void btnScanDeadShortcutsClick();
    // The duplicate-file scan: collect, compare, the sets in the list.
    void btnScanDupeFilesClick();
    // Starts the temporary-file scan of the checked drives; returns when all
    // drives are done, the tree is built and the automatic clean has run.
    void TempScanStart();
    // The clean operation on the selected rows or on all rows, in the mode of
    // the Options page; a row leaves the list when its file left its place.
    void CleanFiles(bool selectedOnly);
    // The same for the rows the clean's rules give for `choice`
    // (core/cleaning/clean_selection.h): never a set's last copy, a master
    // only when selected by hand and confirmed.
    void CleanFiles(const cleaning::CleanChoice &choice);
    // "Replace duplicates with links": the selected duplicates (all when
    // none is selected), after a question; see main_window_links.cpp.
    void ReplaceDuplicatesWithLinks(cleaning::LinkKind kind);
    // The system that scans skip and cleans refuse: "/" unless a test builds
    // a fake one. The stored "ProtectSystemFiles" says whether it is in force.
    void setSystemRoot(const QByteArray &root, const QByteArray &dpkgInfo = {});
    cleaning::SystemProtection &systemProtection();
    TKvFindFile &finder() { return *KvFindFile; }
    TTempFilesPage *tempFilesPage() const { return m_tempFilesPage; }
    TDuplicateFilesPage *duplicatesPage() const { return m_duplicatesPage; }
    TDeadShortcutsPage *deadShortcutsPage() const { return m_deadShortcutsPage; }
    TCleanDirectoriesPage *directoriesPage() const { return m_directoriesPage; }
    TFatLossesPage *fatLossesPage() const { return m_fatLossesPage; }
    TAddRemoveProgramsPage *addRemoveProgramsPage() const { return m_addRemovePage; }
    TSystemToolsPage *systemToolsPage() const { return m_systemToolsPage; }
    qint64 FoundFileCount = 0;
    qint64 FoundByteTotal = 0;
    // The start timer: fires once, 500 ms after it is armed, to run ScheduledRun.
    QTimer *Timer = nullptr;
    // A scheduled run: the scans chosen on the schedule page into one list,
    // then the next computation (main_window_schedule.cpp). Dropped while a
    // scan or another scheduled run is in progress.
    void ScheduledRun();
    // The directory step of a scheduled run: the directory scan as its
    // command performs it (set when the directory scan is wired).
    std::function<void()> ScheduledDirectoryScan;
    // The main program's next-run computation: the schedule page's values,
    // the alarm, the hand-over to a running Scheduler and the page's label.
    void ComputeNextRun();
    ScheduleUnit &schedule() { return *m_schedule; }
    // Starts the once-a-second alarm checks (once the event loop runs).
    void startAlarm();
    ui::BusyAnimation *busyAnimation() const { return Animate; }
    // Runs the steps of creating the window that read the outside world:
    // settings, log, command line. Called once the controls exist.
    void createWindowSteps(const QStringList &parameters);
    // Receives the copy-data messages of the "TClarivexMainForm" class; false
    // (with the reason on stderr) when another process already does.
    // Closes as File > Close does, but asks nothing that only a person
    // could answer (a log-out's SIGTERM, Ctrl+C, a closed terminal).
    void closeUnattended();
    bool listenForMessages();
    // A copy-data text: the scheduled switch runs ScheduledRun first. The
    // answer is 1 whatever the text.
    qint32 WMCopyData(const QByteArray &text);
    int scheduledRunCount() const { return m_scheduledRuns; }
    // The web update check; the menu entry runs checkProgramUpdates.
    TAutoUpgrade *AutoUpgrade = nullptr;
    // The help's first page (the one found beside the program or installed).
    QString helpIndex;
    void checkProgramUpdates();
    void applyUpdateSettings(const UpdateSettings &update);

    ui::SideBar *sideBar() const { return AutoOutLookBar; }
    TOptionsPage *optionsPage() const { return m_optionsPage; }
    TKvFileListView *FileListView = nullptr;
    // The list's popup menu and its actions (view, properties, print, save).
    ui::TFileListActions *listActions() const;
    TPathTreeView *PathTreeViewFileTree = nullptr;
    TFoundFilesMap *FoundFilesMap = nullptr; // the "Map" tab
    // Shows the totals as "Files: %.0n" and "Bytes: %.0n".
    void UpdateFoundTotals(qint64 files, qint64 bytes);
    TipsPanel *tipsPanel() const { return m_tipsPanel; }
    // Puts a page's contents into its place in the stack.
    void setPageContent(const QString &name, QWidget *content);
    template <typename Page> Page *addPage(const QString &name)
    {
        auto *page = new Page;
        setPageContent(name, page);
        return page;
    }
    QTabWidget *resultTabs() const { return ExtPageControl; }
    QMenu *trayMenu() const;
    bool hasTrayIcon() const { return PGTrayIcon95 != nullptr; }
    QMenu *scanMenu() const { return MenuItemScan; }
    QProgressBar *statusProgressBar() const { return StatusProgressBar; }
    // The busy bar of a running scan and its count of what the walk has seen.
    QProgressBar *scanProgressBar() const { return ScanProgressBar; }
    QString scanProgressText() const;
    // Whether Stop was pressed during the scan running or last run.
    [[nodiscard]] bool scanStopped() const { return m_scanStopped; }
    void setStatusText(int panel, const QString &text);
    QString statusText(int panel) const;
    void setFoundTotalsText(const QString &files, const QString &bytes);

    QPushButton *btnScanNow = nullptr;
    QPushButton *btnScan = nullptr;
    QPushButton *btnStop = nullptr;
    QPushButton *btnCleanSelected = nullptr;
    QPushButton *btnCleanAll = nullptr;
    QPushButton *btnLinkDuplicates = nullptr; // with the duplicate list
    QPushButton *btnHide = nullptr;

signals:
    void pageShown(const QString &name);
    void scanRequested(TScanKind kind);
    void stopRequested();
    void cleanRequested(bool selectedOnly);
    void aboutRequested();
    void helpRequested();
    void updateCheckRequested();
    // The walk of a scan is over (finished or stopped); the tree comes next.
    void walkFinished();
    // A clean is about to take the next file (`done` of `total` finished).
    void cleanProgress(qsizetype done, qsizetype total);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildSideBar();
    QWidget *buildButtonColumn();
    void buildScanPopup();
    void buildStatusBar();
    void buildMainMenu();
    void buildTray();
    void showFromTray();
    void wireOptionsPage();
    void wireScans();
    void wireUtilityPages();
    void wireUpdateCheck();
    void stopUtilityWork();
    void finishTempScan();
    void wireCleaning();
    QPushButton *buildLinkButton(QWidget *column);
    void wireDuplicateLinks();
    void selectDuplicateRows(const QList<int> &rows);
    // The rows of the page's reference folders are marked (never cleaned).
    void markReferenceRows();
    [[nodiscard]] QList<QByteArray> referenceFolderPaths() const;
    void wireListActions();
    void wireMap();
    // The rows a clean takes, after the question about masters selected by hand.
    [[nodiscard]] cleaning::CleanSelection rowsToClean(const cleaning::CleanChoice &choice);
    [[nodiscard]] cleaning::CleanSettings cleanSettings(bool selectedOnly) const;
    // What started a clean, as the log says it.
    [[nodiscard]] QString cleanTrigger(const cleaning::CleanChoice &choice) const;
    [[nodiscard]] cleaning::CleanPrompts cleanPrompts(ui::CleanProgress &progress);
    void connectZipEvents(cleaning::TZip &zip, ui::CleanProgress &progress);
    void reportZipFilesNotFound(const QList<cleaning::CleanRow> &cleanRows,
                                const cleaning::CleanReport &report);
    void showCleanReport(const QList<int> &rows, const QList<cleaning::CleanRow> &cleanRows,
                         const cleaning::CleanReport &report,
                         const cleaning::CleanSelection &selection, const QString &trigger);
    // What a clean did on the status bar ("Moved 3 files (40 bytes) to the Trash").
    void showCleanSummary(const cleaning::CleanTally &tally, const cleaning::CleanReport &report);
    void wireDirectoryScans();
    // The steps both folder scans share before and after their walk.
    // False when the log could not be written: the scan ends there.
    [[nodiscard]] bool startFolderScan(TScanKind kind, const QString &logName);
    [[nodiscard]] bool finishFolderScan(const QString &logName);
    void stopFolderScans();
    // The rows that `scan` found in `run` cleaned without questions, when
    // `enabled` (that scan's automatic-clean option) says so.
    void runAutoClean(ScanOrigin scan, RunIndex run, bool enabled);
    // A scan is about to fill the list: the run its rows belong to (the
    // scheduled run's, or a new one of the user's), set as the list's origin.
    RunIndex beginScanRun(ScanOrigin scan);
    void wireDuplicates();
    void DuplicateScanStart(const QList<QByteArray> &roots);
    void finishDuplicateScan(const DuplicateCompare &compare);
    void startSchedulerOnClose();
    // Scans scheduled, no Scheduler to run them once the window is gone: says
    // so, and offers to start one now and at every close.
    void offerSchedulerOnClose();
    bool m_closingUnattended = false; // closed by a signal: nobody answers a question
    QString schedulerProgram() const;
    void wireSchedule();
    bool CheckAlarmDue();

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
    QProgressBar *ScanProgressBar = nullptr;
    QLabel *m_scanProgressLabel = nullptr;
    bool m_scanStopped = false;
    void showWalkProgress();
    // `endText` ("Scan Complete.", "Done."), or "Scan Stopped." for a scan
    // that a Stop ended (logged as "NAME - Stopped").
    void showScanEnd(const QString &logName, const QString &endText, bool stopped);
    QMenu *MenuItemScan = nullptr;
    QSystemTrayIcon *PGTrayIcon95 = nullptr;
    ui::BannerMenu *m_trayMenu = nullptr;
    TOptionsPage *m_optionsPage = nullptr;
    SettingsCatalogue m_settings; // what was loaded, for values no control holds
    SettingsContext m_context;
    TLogsPage *m_logsPage = nullptr;
    TTempFilesPage *m_tempFilesPage = nullptr;
    TDuplicateFilesPage *m_duplicatesPage = nullptr;
    TDeadShortcutsPage *m_deadShortcutsPage = nullptr;
    TCleanDirectoriesPage *m_directoriesPage = nullptr;
    TDeadLinksPage *m_deadLinksPage = nullptr;
    TFatLossesPage *m_fatLossesPage = nullptr;
    TAddRemoveProgramsPage *m_addRemovePage = nullptr;
    TSystemToolsPage *m_systemToolsPage = nullptr;
    std::unique_ptr<TKvFindFile> KvFindFile;
    std::unique_ptr<TempFileScan> m_tempScan;
    std::unique_ptr<DirectoryScan> m_directoryScan;
    std::unique_ptr<DeadShortcutScan> m_shortcutScan;
    QHash<QByteArray, QString> m_shortcutTargets; // a listed dead shortcut's missing target
    QStringList m_appRuleIds;                     // the application rules whose rows were listed
    QStringList m_appRuleNotes;
    std::unique_ptr<DuplicateScan> m_duplicateScan;
    QList<FileGroup> m_scanGroups; // the groups as the running scan took them
    // What a scan reports for every file is shown when the window next paints.
    std::optional<QString> m_pendingFolderText;
    bool m_totalsPending = false;
    void showPendingProgress();
    TSchedulePage *m_schedulePage = nullptr;
    platform::CopyDataServer *m_messages = nullptr;
    int m_scheduledRuns = 0;
    RunIndex m_scheduledRun = 0; // while ScheduledRunActive
    RunIndex m_tempScanRun = 0;  // the run of the temporary-file scan in progress
    std::unique_ptr<ScheduleUnit> m_schedule;
    bool m_toldNoTray = false;       // "Hide" without a tray has said it minimises
    QSplitter *m_splitter = nullptr; // the pages over the found files
    QSize m_loadedSize;              // as the settings left it
    bool m_fitOnShow = false;        // first start: the first show picks a size that shows rows
    void fitFirstWindow();
    // The pages get the height they ask for while the found files keep a few rows.
    void givePagesTheirHeight();
    bool m_windowCreated = false; // the computation waits for the window's creation
    TipsPanel *m_tipsPanel = nullptr;
    cleaning::SystemProtection m_protection;
    bool m_cleaning = false;
    ui::TFileListActions *m_listActions = nullptr;
    ui::CleanNotifier *m_cleanNotifier = nullptr;
    // After an automatic or scheduled clean that took files: the notification.
    void notifyClean(const cleaning::CleanRecorder &recorder, qint64 files, qint64 bytes);
    void buildHistoryActions(QMenu *file);
};

} // namespace clarivex
