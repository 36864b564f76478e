#include "gui/shell/main_window.h"

#include "core/cleaning/clean_summary.h"

#include "core/base/formats.h"
#include "core/base/settings_types.h"
#include "core/platform/desktop_apps.h"
#include "core/scanners/dead_shortcut_scan.h"
#include "core/scanners/directory_scan.h"
#include "core/scanners/duplicate_scan.h"
#include "core/search/kv_find_file.h"
#include "core/shell/tips.h"
#include "gui/scanners/clean_directories_page.h"
#include "gui/scanners/dead_links_page.h"
#include "gui/scanners/dead_shortcuts_page.h"
#include "gui/scanners/duplicate_files_page.h"
#include "gui/scanners/temp_files_page.h"
#include "gui/schedule/schedule_page.h"
#include "gui/search/found_files_map.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/search/path_tree_view.h"
#include "gui/shell/help_viewer.h"
#include "gui/shell/logs_page.h"
#include "gui/shell/options_page.h"
#include "gui/shell/tips_panel.h"
#include "gui/toolkit/artwork.h"
#include "gui/toolkit/banner_menu.h"
#include "gui/toolkit/busy_animation.h"
#include "gui/toolkit/side_bar.h"
#include "gui/utilities/about_box.h"
#include "gui/utilities/add_remove_programs_page.h"

#include "core/platform/copy_data.h"
#include "core/platform/program_files.h"
#include "core/schedule/schedule_unit.h"
#include "core/shell/command_line.h"
#include "gui/toolkit/bring_forward.h"
#include "gui/toolkit/notice_service.h"

#include <cstdio>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace clarivex {

namespace {

struct PageEntry
{
    const char *name;
    const char *icon;
    int group; // 0 "Scan Tools", 1 "System"
};

const PageEntry kPages[] = {
    {"Options", "options", 0},
    {"Temporary Files", "temporary-files", 0},
    {"Duplicate Files", "duplicate-files", 0},
    {"Dead Shortcuts", "dead-shortcuts", 0},
    {"Clean Directories", "clean-directories", 0},
    {"FAT-Losses", "fat-losses", 0},
    {"Schedule Options", "schedule-options", 0},
    {"Logs", "logs", 0},
    {"Add / Remove Programs", "add-remove-programs", 1},
    {"System Tools", "system-tools", 1},
};

// The page that no side-bar item or menu selects.
const char kDeadLinksPage[] = "Dead Links";

} // namespace

const QStringList &TClarivexMainForm::pageNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const PageEntry &entry : kPages)
            list << QString::fromLatin1(entry.name);
        return list;
    }();
    return names;
}

namespace {
constexpr int kFirstStartRows = 15;
constexpr int kFirstStartWidth = 800;
} // namespace

bool TClarivexMainForm::isScanPage(const QString &name)
{
    return name == QLatin1String("Temporary Files") || name == QLatin1String("Duplicate Files") ||
           name == QLatin1String("Dead Shortcuts") || name == QLatin1String("Clean Directories");
}

TClarivexMainForm::TClarivexMainForm(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TClarivexMainForm"));
    setWindowTitle(QStringLiteral("Clarivex 2000 3.5"));
    setWindowIcon(ui::artwork(QStringLiteral("clarivex")));
    setMinimumSize(600, 460);
    resize(600, 460);
    helpIndex = platform::helpIndexPath();

    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(2, 2, 2, 0);
    outer->setSpacing(2);
    auto *splitter = m_splitter = new QSplitter(Qt::Vertical, central);
    splitter->setChildrenCollapsible(false);

    auto *top = new QWidget(splitter);
    auto *topLayout = new QHBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(3);
    buildSideBar();
    topLayout->addWidget(AutoOutLookBar);

    auto *centre = new QVBoxLayout;
    centre->setSpacing(0);
    lblTop = new QLabel(top);
    lblTop->setObjectName(QStringLiteral("lblTop"));
    QFont headerFont(QStringLiteral("Arial"));
    headerFont.setBold(true);
    headerFont.setPointSizeF(headerFont.pointSizeF() * 1.2);
    lblTop->setFont(headerFont);
    lblTop->setAutoFillBackground(true);
    lblTop->setBackgroundRole(QPalette::Dark);
    lblTop->setForegroundRole(QPalette::HighlightedText);
    lblTop->setContentsMargins(2, 3, 2, 3);
    centre->addWidget(lblTop);
    Notebook = new QStackedWidget(top);
    Notebook->setObjectName(QStringLiteral("Notebook"));
    Notebook->setFrameShape(QFrame::StyledPanel);
    QStringList stack = pageNames();
    stack << QString::fromLatin1(kDeadLinksPage);
    for (const QString &name : stack) {
        auto *page = new QWidget(Notebook);
        page->setObjectName(name);
        Notebook->addWidget(page);
    }
    centre->addWidget(Notebook, 1);
    topLayout->addLayout(centre, 1);
    topLayout->addWidget(buildButtonColumn());

    ExtPageControl = new QTabWidget(splitter);
    ExtPageControl->setObjectName(QStringLiteral("ExtPageControl"));
    ExtPageControl->setDocumentMode(true);
    splitter->addWidget(top);
    splitter->addWidget(ExtPageControl);
    // The pages keep their natural height; what the window has beyond it
    // goes to the found files.
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    outer->addWidget(splitter);
    setCentralWidget(central);

    m_optionsPage = addPage<TOptionsPage>(QStringLiteral("Options"));
    m_tempFilesPage = addPage<TTempFilesPage>(QStringLiteral("Temporary Files"));
    m_duplicatesPage = addPage<TDuplicateFilesPage>(QStringLiteral("Duplicate Files"));
    m_deadShortcutsPage = addPage<TDeadShortcutsPage>(QStringLiteral("Dead Shortcuts"));
    m_directoriesPage = addPage<TCleanDirectoriesPage>(QStringLiteral("Clean Directories"));
    m_deadLinksPage = addPage<TDeadLinksPage>(QStringLiteral("Dead Links"));
    m_logsPage = addPage<TLogsPage>(QStringLiteral("Logs"));
    m_schedulePage = addPage<TSchedulePage>(QStringLiteral("Schedule Options"));
    m_schedulePage->showError = [this](const QString &message) {
        ui::notices().information(this, QStringLiteral("Clarivex 2000"), message,
                                  ui::NoticeIcon::Error);
    };
    FileListView = new TKvFileListView;
    FileListView->setObjectName(QStringLiteral("FileListView"));
    // Its column widths are kept in the store, read when the list is first
    // shown and written when it goes with the window.
    FileListView->SaveSettings.AutoSave = true;
    FileListView->SaveSettings.RegistryKey =
        QString::fromLatin1(kSettingsRoot) + QStringLiteral("Settings\\");
    ExtPageControl->addTab(FileListView, QStringLiteral("File List"));
    PathTreeViewFileTree = new TPathTreeView;
    PathTreeViewFileTree->setObjectName(QStringLiteral("PathTreeViewFileTree"));
    ExtPageControl->addTab(PathTreeViewFileTree, QStringLiteral("File Tree"));
    FoundFilesMap = new TFoundFilesMap(FileListView->Model());
    FoundFilesMap->setObjectName(QStringLiteral("FoundFilesMap"));
    ExtPageControl->addTab(FoundFilesMap, QStringLiteral("Map"));
    m_tipsPanel = new TipsPanel;
    ExtPageControl->addTab(m_tipsPanel, QStringLiteral("Tips"));
    connect(ExtPageControl, &QTabWidget::currentChanged, this, &TClarivexMainForm::ShowTips);

    buildScanPopup();
    buildStatusBar();
    buildMainMenu();
    buildTray();
    wireOptionsPage();
    wireScans();
    wireCleaning();
    wireListActions();
    wireDuplicateLinks();
    wireMap();
    wireUtilityPages();
    wireSchedule();
    wireUpdateCheck();
    connect(this, &TClarivexMainForm::helpRequested, this, &TClarivexMainForm::OpenHelp);
    connect(this, &TClarivexMainForm::aboutRequested, this,
            [this] { TClarivexAboutBox::showAbout(this); });
    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setSingleShot(true);
    Timer->setInterval(500);
    connect(Timer, &QTimer::timeout, this, [this] {
        Timer->stop();
        ScheduledRun();
    });
    // Settings survive a log-off that never closes the window.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { SaveAllSettings(); });
    ShowPage(QStringLiteral("Options"));
}

void TClarivexMainForm::createWindowSteps(const QStringList &parameters)
{
    // A step that fails shows its error, and the steps after it are skipped.
    if (!LoadAllSettings()) return;
    m_addRemovePage->LoadUninstallList();
    if (!WriteLogEvent(QStringLiteral("Main Program Started"))) return;
    AutoCleaning = false;
    ScheduledRunActive = false;
    // Without a Scheduler the main program keeps its own schedule.
    m_windowCreated = true;
    if (m_schedulePage->cbScheduleScans->isChecked() && !SchedulerRunning()) ComputeNextRun();
    // The start timer is armed at most once: by the scheduled switch, or else
    // by the start-up scan option. Either way the scan is one ScheduledRun.
    if (hasScheduledSwitch(parameters) || m_schedulePage->cbScanAtStartUp->isChecked())
        Timer->start();
    PathTreeViewFileTree->Clear(); // no root node before the first scan
}

bool TClarivexMainForm::listenForMessages()
{
    if (!m_messages) {
        m_messages = new platform::CopyDataServer(this);
        m_messages->setHandler([this](const QByteArray &text) { return WMCopyData(text); });
        connect(m_messages, &platform::CopyDataServer::comeForwardRequested, this,
                [this] { ui::bringForward(this); });
    }
    if (m_messages->isListening()) return true;
    if (m_messages->listen(QString::fromLatin1(platform::kMainWindowClass))) return true;
    std::fprintf(stderr, "clarivex: %s\n", qPrintable(m_messages->errorString()));
    return false;
}

qint32 TClarivexMainForm::WMCopyData(const QByteArray &text)
{
    if (text == kScheduledEventSwitch) ScheduledRun();
    return 1;
}

void TClarivexMainForm::wireOptionsPage()
{
    m_optionsPage->pickFolder = [this](const QString &title) -> std::optional<QUrl> {
        const QUrl chosen = ui::notices().existingFolderUrl(this, title, QDir::homePath());
        if (chosen.isEmpty()) return std::nullopt;
        return chosen;
    };
    m_optionsPage->showNotice = [this](const QString &text) {
        ui::notices().information(this, QStringLiteral("Clarivex 2000"), text);
    };
    m_optionsPage->pickWavFile = [this]() -> std::optional<QString> {
        ui::FileDialogRequest request;
        request.caption = QStringLiteral("Open");
        request.filter = QStringLiteral("WAV Files (*.wav)");
        request.defaultSuffix = QStringLiteral("wav");
        request.mustExist = true;
        const QString file = ui::notices().openFileName(this, request);
        if (file.isEmpty()) return std::nullopt;
        return file;
    };
}

void TClarivexMainForm::OpenHelp()
{
    const QString index = helpIndex;
    if (!QFileInfo::exists(index)) {
        ui::notices().information(this, QStringLiteral("Clarivex 2000"),
                                  QStringLiteral("The help could not be opened: %1").arg(index),
                                  ui::NoticeIcon::Warning);
        return;
    }
    // A browser where the desktop has one for web pages; else our own viewer.
    if (!platform::exactApplication(QStringLiteral("text/html")).isEmpty() &&
        QDesktopServices::openUrl(QUrl::fromLocalFile(index)))
        return;
    auto *viewer = new HelpViewer(index, this);
    viewer->show();
    viewer->raise();
}

TClarivexMainForm::~TClarivexMainForm()
{
    if (KvFindFile) KvFindFile->Stop();
}

void TClarivexMainForm::buildSideBar()
{
    AutoOutLookBar = new ui::SideBar(this);
    AutoOutLookBar->setFixedWidth(120);
    const int tools = AutoOutLookBar->addGroup(QStringLiteral("Scan Tools"));
    const int system = AutoOutLookBar->addGroup(QStringLiteral("System"));
    const int more = AutoOutLookBar->addGroup(QStringLiteral("More"));
    for (const PageEntry &entry : kPages) {
        AutoOutLookBar->addItem(entry.group == 0 ? tools : system, QString::fromLatin1(entry.name),
                                ui::artwork(QString::fromLatin1(entry.icon)));
    }
    AutoOutLookBar->addItem(more, QStringLiteral("About"), ui::artwork(QStringLiteral("about")));
    connect(AutoOutLookBar, &ui::SideBar::itemClicked, this, [this](const QString &caption) {
        if (caption == QLatin1String("About"))
            ShowAbout();
        else
            ShowPage(caption);
    });
}

QWidget *TClarivexMainForm::buildButtonColumn()
{
    auto *column = new QWidget(this);
    column->setFixedWidth(106);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    const auto button = [&](QPushButton *&field, const char *name, const QString &caption,
                            const QString &hint) {
        field = new QPushButton(caption, column);
        field->setObjectName(QString::fromLatin1(name));
        field->setToolTip(hint);
        layout->addWidget(field);
    };
    button(btnScanNow, "btnScanNow", QStringLiteral("&Scan"),
           QStringLiteral("Scan the selected \"Scan Tool\""));
    button(btnScan, "btnScan", QStringLiteral("&Scan for..."), QStringLiteral("Scan Now"));
    button(btnStop, "btnStop", QStringLiteral("&Stop"), QStringLiteral("Stop Scan"));
    button(btnCleanSelected, "btnCleanSelected", QStringLiteral("&Clean Selected"),
           QStringLiteral("Clean Selected Files"));
    button(btnCleanAll, "btnCleanAll", QStringLiteral("Clean &All"),
           QStringLiteral("Clean All Files"));
    btnLinkDuplicates = buildLinkButton(column);
    layout->addWidget(btnLinkDuplicates);
    button(btnHide, "btnHide", QStringLiteral("&Hide"),
           QStringLiteral("Minimizes Clarivex to the Tray Area"));
    Animate = new ui::BusyAnimation(column);
    layout->addWidget(Animate);
    lblBytesFound = new QLabel(column);
    lblBytesFound->setObjectName(QStringLiteral("lblBytesFound"));
    lblFilesFound = new QLabel(column);
    lblFilesFound->setObjectName(QStringLiteral("lblFilesFound"));
    for (QLabel *label : {lblBytesFound, lblFilesFound}) {
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    layout->addStretch(1);

    connect(btnStop, &QPushButton::clicked, this, &TClarivexMainForm::stopRequested);
    connect(btnHide, &QPushButton::clicked, this, &TClarivexMainForm::btnHideClick);
    connect(btnCleanSelected, &QPushButton::clicked, this, [this] { emit cleanRequested(true); });
    connect(btnCleanAll, &QPushButton::clicked, this, [this] { emit cleanRequested(false); });
    return column;
}

void TClarivexMainForm::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    for (int i = 0; i < 2; ++i) {
        m_statusPanels[i] = new QLabel(bar);
        m_statusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_statusPanels[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    m_statusPanels[0]->setFixedWidth(210);
    // A long folder is cut at the panel's end, never drawn over its neighbours.
    m_statusPanels[1]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(m_statusPanels[0]);
    bar->addWidget(m_statusPanels[1], 1);
    // The progress bar lies over the first panel and stays hidden until used.
    StatusProgressBar = new QProgressBar(m_statusPanels[0]);
    StatusProgressBar->setObjectName(QStringLiteral("StatusProgressBar"));
    StatusProgressBar->setTextVisible(false);
    StatusProgressBar->setGeometry(0, 2, 210, 16);
    StatusProgressBar->hide();
    // While a scan runs: a busy bar and how many folders and files it has seen.
    m_scanProgressLabel = new QLabel(bar);
    m_scanProgressLabel->setObjectName(QStringLiteral("ScanProgressLabel"));
    ScanProgressBar = new QProgressBar(bar);
    ScanProgressBar->setObjectName(QStringLiteral("ScanProgressBar"));
    ScanProgressBar->setRange(0, 0);
    ScanProgressBar->setTextVisible(false);
    ScanProgressBar->setFixedWidth(90);
    ScanProgressBar->setMaximumHeight(14);
    bar->addPermanentWidget(m_scanProgressLabel);
    bar->addPermanentWidget(ScanProgressBar);
    m_scanProgressLabel->hide();
    ScanProgressBar->hide();
}

QString TClarivexMainForm::scanProgressText() const
{
    return m_scanProgressLabel->text();
}

void TClarivexMainForm::showWalkProgress()
{
    if (ScanProgressBar->isHidden() || !KvFindFile) return;
    m_scanProgressLabel->setText(
        QStringLiteral("Seen: %1 folders, %2 files")
            .arg(formatGrouped(KvFindFile->FoldersSeen), formatGrouped(KvFindFile->FilesSeen)));
}

void TClarivexMainForm::showScanEnd(const QString &logName, const QString &endText, bool stopped)
{
    if (stopped) {
        setStatusText(0, QStringLiteral("Scan Stopped."));
        (void)WriteLogEvent(logName + QStringLiteral(" - Stopped"));
    } else {
        setStatusText(0, endText);
    }
}

void TClarivexMainForm::ShowPage(const QString &name)
{
    QWidget *target = page(name);
    if (!target) return;
    Notebook->setCurrentWidget(target);
    lblTop->setText(QLatin1Char(' ') + name);
    ShowTips();
    btnScanNow->setEnabled(isScanPage(name));
    emit pageShown(name);
}

void TClarivexMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The splitter shares out its height once it is laid out.
    QTimer::singleShot(0, this, &TClarivexMainForm::givePagesTheirHeight);
    if (!m_fitOnShow) return;
    m_fitOnShow = false;
    // A size given before the first show (a test, a caller) stands.
    if (size() == m_loadedSize) fitFirstWindow();
}

void TClarivexMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    givePagesTheirHeight();
}

void TClarivexMainForm::givePagesTheirHeight()
{
    // A window grown (maximised) gives the pages the height they ask for, so
    // that no item of the side bar is cut; the found files keep the rest,
    // never less than a few rows.
    const QList<int> sizes = m_splitter->sizes();
    if (sizes.size() != 2) return;
    const int wanted = m_splitter->widget(0)->sizeHint().height();
    const int total = sizes[0] + sizes[1];
    const int listRows = 6 * (FileListView->fontMetrics().height() + 4);
    if (sizes[0] >= wanted || total - wanted < listRows) return;
    m_splitter->setSizes({wanted, total - wanted});
}

void TClarivexMainForm::fitFirstWindow()
{
    // The built-in size leaves the found files a strip of a few rows. At the
    // first start the window grows by the rows missing up to fifteen (and
    // widens for the columns), as far as the screen's free area allows.
    const QScreen *screen = this->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QMargins frame(geometry().left() - frameGeometry().left(),
                         geometry().top() - frameGeometry().top(),
                         frameGeometry().right() - geometry().right(),
                         frameGeometry().bottom() - geometry().bottom());
    const int rowHeight = std::max(FileListView->fontMetrics().height(), 16) + 4;
    const int shown = FileListView->viewport()->height() / rowHeight;
    // The pages take the height they ask for first (resizeEvent).
    const int pages =
        std::max(0, m_splitter->widget(0)->sizeHint().height() - m_splitter->sizes().value(0));
    const int grow = std::max(0, kFirstStartRows - shown) * rowHeight + pages;
    const int width =
        std::clamp(kFirstStartWidth, minimumWidth(), area.width() - frame.left() - frame.right());
    const int height = std::clamp(this->height() + grow, minimumHeight(),
                                  area.height() - frame.top() - frame.bottom());
    const QRect bounds(0, 0, width, height);
    setGeometry(bounds.translated(area.center() - bounds.center()));
}

void TClarivexMainForm::setPageContent(const QString &name, QWidget *content)
{
    QWidget *holder = page(name);
    if (!holder) return;
    auto *layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
}

void TClarivexMainForm::ShowTips()
{
    m_tipsPanel->clear();
    const QByteArray selected = SelectedFilePath(FileListView);
    if (!selected.isEmpty()) {
        const QString name = QFile::decodeName(selected.mid(selected.lastIndexOf('/') + 1));
        // The tip of the scan that found the row, whatever filled the list last.
        const QList<int> rows = FileListView->SelectedRows();
        const int scan =
            rows.isEmpty() ? int(ScanKind) : int(FileListView->Model()->ScanOf(rows.first()));
        if (scan == skDeadShortcuts && m_shortcutTargets.contains(selected)) {
            m_tipsPanel->showTip(deadShortcutTip(m_shortcutTargets.value(selected)));
            return;
        }
        if (const auto tip = tipForFile(scan, name)) m_tipsPanel->showTip(*tip);
        return; // dead shortcuts without a known target: the panel stays empty
    }
    m_tipsPanel->showTip(tipForPage(currentPage(), m_deadShortcutsPage->explanation()));
}

void TClarivexMainForm::UpdateFoundTotals(qint64 files, qint64 bytes)
{
    clarivex::UpdateFoundTotals(FoundTotals{files, bytes}, lblBytesFound, lblFilesFound);
    lblBytesFound->setToolTip(cleaning::exactAndReadableBytes(bytes));
}

QString TClarivexMainForm::currentPage() const
{
    return Notebook->currentWidget() ? Notebook->currentWidget()->objectName() : QString();
}

QWidget *TClarivexMainForm::page(const QString &name) const
{
    for (int i = 0; i < Notebook->count(); ++i) {
        if (Notebook->widget(i)->objectName() == name) return Notebook->widget(i);
    }
    return nullptr;
}

QString TClarivexMainForm::headerText() const
{
    return lblTop->text();
}

void TClarivexMainForm::ShowAbout()
{
    btnScanNow->setEnabled(false);
    emit aboutRequested();
}

void TClarivexMainForm::EnterScanningState()
{
    FileListView->setToolTip(
        ScanKind == skDuplicates
            ? QStringLiteral("NOTE: Only delete a duplicate file if you have the same file located "
                             "on the windows system directory or if you are sure it will not be "
                             "needed  by any application.")
            : QString());
    for (QWidget *w :
         {static_cast<QWidget *>(btnScan), static_cast<QWidget *>(btnScanNow),
          static_cast<QWidget *>(btnCleanAll), static_cast<QWidget *>(btnCleanSelected)})
        w->setEnabled(false);
    btnLinkDuplicates->setVisible(ScanKind == skDuplicates);
    btnLinkDuplicates->setEnabled(false);
    MenuItemScan->setEnabled(false);
    setCursor(Qt::WaitCursor);
    Animate->setActive(true);
    m_scanStopped = false;
    // Every scan keeps away from the Trash and the folders the options name
    // as they stand now, saved or not: the clean would take the same.
    KvFindFile->KeptAway = KeptAwayFolders::fromFolders(m_optionsPage->txtMoveFolderPath->text(),
                                                        m_optionsPage->txtZipFileName->text());
    if (KvFindFile) KvFindFile->FoldersSeen = KvFindFile->FilesSeen = 0;
    m_scanProgressLabel->show();
    ScanProgressBar->show();
    showWalkProgress();
}

void TClarivexMainForm::LeaveScanningState()
{
    for (QWidget *w :
         {static_cast<QWidget *>(btnScan), static_cast<QWidget *>(btnScanNow),
          static_cast<QWidget *>(btnCleanAll), static_cast<QWidget *>(btnCleanSelected)})
        w->setEnabled(true);
    btnLinkDuplicates->setEnabled(true);
    MenuItemScan->setEnabled(true);
    unsetCursor();
    Animate->setActive(false);
    ScanProgressBar->hide();
    m_scanProgressLabel->hide();
}

bool TClarivexMainForm::scanInProgress() const
{
    return !ExplorerPopup->isEnabled();
}

void TClarivexMainForm::setScanCommandsEnabled(bool enabled)
{
    ExplorerPopup->setEnabled(enabled);
}

void TClarivexMainForm::setStatusText(int panel, const QString &text)
{
    if (panel != 0 && panel != 1) return;
    m_statusPanels[panel]->setText(text);
    m_statusPanels[panel]->setToolTip(QString()); // a clean's summary may have set one
}

QString TClarivexMainForm::statusText(int panel) const
{
    return panel == 0 || panel == 1 ? m_statusPanels[panel]->text() : QString();
}

void TClarivexMainForm::setFoundTotalsText(const QString &files, const QString &bytes)
{
    lblFilesFound->setText(files);
    lblBytesFound->setText(bytes);
}

void TClarivexMainForm::closeUnattended()
{
    m_closingUnattended = true;
    close();
}

void TClarivexMainForm::closeEvent(QCloseEvent *event)
{
    btnStopClick(); // a running search ends; closing is always allowed
    stopUtilityWork();
    if (m_schedulePage->cbCleanOnClose->isChecked())
        CleanFiles(false); // as "Clean All" does, with its confirmations
    if (!m_closingUnattended) offerSchedulerOnClose();
    startSchedulerOnClose();
    SaveAllSettings();
    event->accept();
}

} // namespace clarivex
