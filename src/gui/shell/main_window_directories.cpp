// The directory scan and the dead-shortcut scan on the window's side: the
// list they fill (or add to during a scheduled run), their log lines and
// status texts, the sound and the automatic clean of the "Clean Directories"
// page, which both scans follow.

#include "gui/shell/main_window.h"

#include "core/base/formats.h"
#include "core/cleaning/clean_selection.h"
#include "core/scanners/dead_shortcut_scan.h"
#include "core/scanners/directory_scan.h"
#include "core/search/kv_find_file.h"
#include "gui/scanners/app_rules_tab.h"
#include "gui/scanners/clean_directories_page.h"
#include "gui/scanners/dead_shortcuts_page.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/search/path_tree_view.h"
#include "gui/shell/options_page.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QLineEdit>

namespace clarivex {

namespace {

// Enables the scan commands again however the scan ends (a failed clean too).
struct ScanCommandsBack
{
    TClarivexMainForm &window;
    ~ScanCommandsBack() { window.setScanCommandsEnabled(true); }
};

QString skippedText(const QByteArray &path, const QString &reason)
{
    return QStringLiteral("Skipped unreadable shortcut: %1 (%2)")
        .arg(QFile::decodeName(path), reason);
}

} // namespace

void TClarivexMainForm::wireDirectoryScans()
{
    m_directoryScan = std::make_unique<DirectoryScan>();
    m_shortcutScan = std::make_unique<DeadShortcutScan>();
    ScheduledDirectoryScan = [this] { btnScanDirectoriesClick(); };
    const auto addFile = [this](const QByteArray &folder, const TFindData &data, qint64 &size) {
        return FileListView->AddFile(folder, data, &size);
    };
    const auto status = [this](int panel, const QString &text) {
        if (panel == 1)
            m_pendingFolderText = text; // shown when the window next paints
        else
            setStatusText(panel, text);
    };
    m_directoryScan->addFile = addFile;
    // A row found by an application rule carries the rule in its group, as
    // an index into the rules met in this session; its tooltip names it.
    m_directoryScan->addRuleFile = [this](const QByteArray &folder, const TFindData &data,
                                          int rule, qint64 &size) {
        const AppRule &found = m_directoryScan->rules[rule];
        qsizetype index = m_appRuleIds.indexOf(found.id);
        if (index < 0) {
            index = m_appRuleIds.size();
            m_appRuleIds << found.id;
            m_appRuleNotes << QStringLiteral("Found by the rule %1: %2 (%3)")
                                  .arg(found.id, found.description, found.risk);
        }
        return FileListView->AddFile(folder, data, &size, qint32(index));
    };
    FileListView->Model()->SetRowNote([this](const FoundFileRow &row) {
        if (row.origin() != ScanOrigin::Directories || row.group < 0 ||
            row.group >= m_appRuleNotes.size())
            return QString();
        return m_appRuleNotes[row.group];
    });
    m_directoryScan->status = status;
    m_directoryScan->totalsChanged = [this] {
        FoundFileCount = m_directoryScan->FoundFileCount;
        FoundByteTotal = m_directoryScan->FoundByteTotal;
        m_totalsPending = true;
    };
    m_shortcutScan->addFile = addFile;
    m_shortcutScan->status = status;
    m_shortcutScan->totalsChanged = [this] {
        FoundFileCount = m_shortcutScan->FoundFileCount;
        FoundByteTotal = m_shortcutScan->FoundByteTotal;
        m_totalsPending = true;
    };
    m_shortcutScan->listed = [this](const QByteArray &path, const TShortcutInfo &info) {
        m_shortcutTargets.insert(path, info.target);
    };
    m_shortcutScan->skipped = [this](const QByteArray &path, const QString &reason) {
        m_pendingFolderText = skippedText(path, reason);
        WriteLogEvent(skippedText(path, reason));
    };
    connect(this, &TClarivexMainForm::scanRequested, this, [this](TScanKind kind) {
        if (kind == skDirectories) btnScanDirectoriesClick();
        if (kind == skDeadShortcuts) btnScanDeadShortcutsClick();
    });
}

void TClarivexMainForm::stopFolderScans()
{
    if (m_directoryScan) m_directoryScan->stop();
    if (m_shortcutScan) m_shortcutScan->stop();
}

bool TClarivexMainForm::startFolderScan(TScanKind kind, const QString &logName)
{
    ExplorerPopup->hide();
    setScanCommandsEnabled(false);
    ScanKind = kind;
    (void)beginScanRun(kind == skDirectories ? ScanOrigin::Directories : ScanOrigin::DeadShortcuts);
    if (!ScheduledRunActive) FileListView->Clear();
    PathTreeViewFileTree->Paths.clear();
    PathTreeViewFileTree->RootName = QStringLiteral("File Tree");
    PathTreeViewFileTree->Rebuild();
    FoundFileCount = 0;
    FoundByteTotal = 0;
    setStatusText(0, QStringLiteral("Loading Files..."));
    setStatusText(1, QString());
    UpdateFoundTotals(0, 0);
    EnterScanningState();
    FileListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (WriteLogEvent(logName + QStringLiteral(" - Begin"))) return true;
    LeaveScanningState(); // an unwritable log ends the scan before its walk
    return false;
}

bool TClarivexMainForm::finishFolderScan(const QString &logName)
{
    showPendingProgress();
    FileListView->Model()->FlushPending();
    emit walkFinished();
    optionsPage()->sbPlaySoundClick(); // these scans have no option to silence it
    const bool logged =
        WriteLogEvent(QStringLiteral("Found: %1 Bytes").arg(formatGrouped(FoundByteTotal))) &&
        WriteLogEvent(QStringLiteral("Found: %1 Files").arg(formatGrouped(FoundFileCount)));
    if (logged) showScanEnd(logName, QStringLiteral("Done."), m_scanStopped);
    const bool ended = logged && WriteLogEvent(logName + QStringLiteral(" - End"));
    if (ended) setStatusText(1, QString());
    LeaveScanningState();
    return ended;
}

void TClarivexMainForm::btnScanDirectoriesClick()
{
    if (scanInProgress()) return;
    const ScanCommandsBack back{*this};
    const QString logName = QStringLiteral("Directories");
    if (!startFolderScan(skDirectories, logName)) return;
    const RunIndex run = FileListView->Model()->CurrentRun();
    DirectorySettings settings;
    m_directoriesPage->saveSettings(settings);
    // Looked up now: the page's folder edits may be out of date.
    const QList<QByteArray> folders =
        directoryScanFolders(DirectoryScanOptions::fromSettings(settings));
    m_directoryScan->rules = checkedAppRules(m_directoriesPage->appRules->rules(), settings.AppRules);
    m_directoryScan->excludedFolders = appRuleExclusions(
        m_optionsPage->txtMoveFolderPath->text(), m_optionsPage->txtZipFileName->text());
    DirectoryScan::configure(*KvFindFile);
    m_directoryScan->run(*KvFindFile, folders);
    for (const AppRuleSkip &skip : m_directoryScan->skippedRules)
        WriteLogEvent(QStringLiteral("Rule %1 skipped: %2").arg(skip.ruleId, skip.reason));
    if (finishFolderScan(logName))
        runAutoClean(ScanOrigin::Directories, run, m_directoriesPage->cbDirsAutoClean->isChecked());
}

void TClarivexMainForm::btnScanDeadShortcutsClick()
{
    if (scanInProgress()) return;
    const ScanCommandsBack back{*this};
    const QString logName = QStringLiteral("Dead Shortcuts");
    if (!startFolderScan(skDeadShortcuts, logName)) return;
    const RunIndex run = FileListView->Model()->CurrentRun();
    DeadShortcutSettings settings;
    m_deadShortcutsPage->saveSettings(settings);
    DeadShortcutOptions options = DeadShortcutOptions::fromSettings(settings);
    options.removable = m_deadShortcutsPage->chkDSCleanRemovableDrives->isChecked();
    options.cdRom = m_deadShortcutsPage->chkDSCleanCDROMDrives->isChecked();
    options.network = m_deadShortcutsPage->chkDSCleanNetworkDrives->isChecked();
    if (!ScheduledRunActive) m_shortcutTargets.clear();
    DeadShortcutScan::configure(*KvFindFile);
    m_shortcutScan->run(*KvFindFile, deadShortcutFolders(options), options);
    if (!finishFolderScan(logName)) return;
    const qsizetype skipped = m_shortcutScan->Unreadable.size();
    if (skipped == 1)
        setStatusText(1, QStringLiteral("Skipped unreadable shortcut: %1")
                             .arg(QFile::decodeName(m_shortcutScan->Unreadable.first())));
    else if (skipped > 1)
        setStatusText(1, QStringLiteral("Skipped %1 unreadable shortcuts (see Logs)").arg(skipped));
    // The "Clean Directories" page's option serves both scans.
    runAutoClean(ScanOrigin::DeadShortcuts, run, m_directoriesPage->cbDirsAutoClean->isChecked());
}

RunIndex TClarivexMainForm::beginScanRun(ScanOrigin scan)
{
    FoundFileModel &model = *FileListView->Model();
    const RunIndex run = ScheduledRunActive ? m_scheduledRun : model.BeginRun(RunTrigger::User);
    model.SetOrigin(scan, run);
    return run;
}

void TClarivexMainForm::runAutoClean(ScanOrigin scan, RunIndex run, bool enabled)
{
    if (!enabled) return;
    AutoCleaning = true;
    try {
        CleanFiles(cleaning::CleanChoice::automatic(scan, run));
    } catch (...) {
        AutoCleaning = false;
        throw;
    }
    AutoCleaning = false;
}

} // namespace clarivex
