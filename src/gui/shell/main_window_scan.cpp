// The scan commands of the main window and the temporary-file scan's side of
// the window: its status texts, the list and tree it fills, its log lines.

#include "gui/shell/main_window.h"

#include "core/base/event_pump.h"
#include "core/base/formats.h"
#include "core/platform/volumes.h"
#include "core/scanners/duplicate_scan.h"
#include "core/scanners/temp_file_scan.h"
#include "core/search/kv_find_file.h"
#include "gui/scanners/temp_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/search/path_tree_view.h"
#include "gui/shell/options_page.h"
#include "gui/toolkit/colour_names.h"
#include "gui/toolkit/notice_service.h"
#include "gui/toolkit/wrap_check_box.h"

#include <QFile>
#include <QFrame>
#include <QPushButton>

namespace clarivex {

void TClarivexMainForm::wireScans()
{
    KvFindFile = std::make_unique<TKvFindFile>();
    m_tempScan = std::make_unique<TempFileScan>();
    // The walk keeps the window alive: pending events are processed at the
    // finder's fixed points, at most every 15 ms so that it costs nothing.
    KvFindFile->Pump = ui::throttledPump([this] { showPendingProgress(); });

    m_tempScan->addFile = [this](const QByteArray &folder, const TFindData &data, qint64 &size) {
        const int group = colourGroupOf(QFile::decodeName(data.name), m_scanGroups);
        return FileListView->AddFile(folder, data, &size, group);
    };
    // The folder or file being searched changes thousands of times a second:
    // only its latest text is shown, when the window next gets to paint.
    m_tempScan->status = [this](int panel, const QString &text) {
        if (panel == 1)
            m_pendingFolderText = text;
        else
            setStatusText(panel, text);
    };
    m_tempScan->totalsChanged = [this] {
        FoundFileCount = m_tempScan->FoundFileCount;
        FoundByteTotal = m_tempScan->FoundByteTotal;
        m_totalsPending = true;
    };
    // Row colours, by the scan that found the row: the temporary-file scan's
    // groups, grey for duplicates (the master is drawn bold as well).
    FileListView->Model()->SetRowColour([this](const FoundFileRow &row) -> std::optional<QColor> {
        if (row.origin() == ScanOrigin::Duplicates) return QColor(0x80, 0x80, 0x80);
        if (row.origin() != ScanOrigin::TempFiles || row.group < 0 ||
            row.group >= m_tempFilesPage->GroupColors.size())
            return std::nullopt;
        return ui::colourFromText(m_tempFilesPage->GroupColors[row.group]);
    });

    connect(btnScanNow, &QPushButton::clicked, this, &TClarivexMainForm::btnScanNowClick);
    connect(this, &TClarivexMainForm::stopRequested, this, &TClarivexMainForm::btnStopClick);
    connect(this, &TClarivexMainForm::scanRequested, this, [this](TScanKind kind) {
        if (kind == skTempFiles) btnScanTempFilesClick();
        if (kind == skDuplicates) btnScanDupeFilesClick();
    });
    wireDirectoryScans();
    wireDuplicates();
}

void TClarivexMainForm::btnScanNowClick()
{
    if (currentPage() == QLatin1String("Temporary Files")) btnScanTempFilesClick();
    if (currentPage() == QLatin1String("Clean Directories")) btnScanDirectoriesClick();
    if (currentPage() == QLatin1String("Dead Shortcuts")) btnScanDeadShortcutsClick();
    if (currentPage() == QLatin1String("Duplicate Files")) btnScanDupeFilesClick();
}

void TClarivexMainForm::btnStopClick()
{
    if (scanInProgress()) m_scanStopped = true;
    if (KvFindFile) KvFindFile->Stop();
    stopFolderScans();
    if (ScanKind == skDuplicates && m_duplicateScan) m_duplicateScan->Stop(*KvFindFile);
}

void TClarivexMainForm::btnScanTempFilesClick()
{
    if (scanInProgress()) return;
    ExplorerPopup->hide();
    setScanCommandsEnabled(false);
    // ScanKind changes when the list is cleared (TempScanStart): a scan that
    // stops at one of its warnings leaves the list and what it holds as they were.
    // A log that cannot be written ends the scan at that event; the error
    // dialog has said why, once.
    const auto logged = [this] {
        if (!WriteLogEvent(QStringLiteral("Temporary Files - Begin"))) return false;
        TempScanStart();
        if (m_tempScan->ProtectedFoldersSkipped > 0 &&
            !WriteLogEvent(QStringLiteral("Protected system folders skipped: %1")
                               .arg(formatGrouped(m_tempScan->ProtectedFoldersSkipped))))
            return false;
        return WriteLogEvent(
                   QStringLiteral("Found: %1 Bytes").arg(formatGrouped(FoundByteTotal))) &&
               WriteLogEvent(
                   QStringLiteral("Found: %1 Files").arg(formatGrouped(FoundFileCount))) &&
               WriteLogEvent(QStringLiteral("Temporary Files - End"));
    };
    (void)logged();
    setScanCommandsEnabled(true);
}

void TClarivexMainForm::TempScanStart()
{
    const QList<QByteArray> roots = m_tempFilesPage->DiskListViewTF->GetSelectedDrives();
    if (roots.isEmpty()) {
        ui::notices().information(
            this, QStringLiteral("Clarivex 2000"),
            QStringLiteral("No Drives selected. Please select at least one drive to be scanned."));
        ShowPage(QStringLiteral("Temporary Files"));
        return;
    }
    // Without a group to look for there is no scan, and the results of the
    // last one stay where they are.
    m_scanGroups = m_tempFilesPage->groups();
    m_tempScan->protection = systemProtection();
    if (!m_tempScan->configure(*KvFindFile, m_tempFilesPage->scanOptions())) {
        ui::notices().information(this, QStringLiteral("Clarivex 2000"),
                                  QStringLiteral("Please select at least a Group to be scanned"));
        return;
    }
    ScanKind = skTempFiles;
    m_tempScanRun = beginScanRun(ScanOrigin::TempFiles);
    FileListView->Clear();
    PathTreeViewFileTree->Paths.clear();
    PathTreeViewFileTree->RootName = QStringLiteral("File Tree");
    PathTreeViewFileTree->Rebuild();
    FoundFileCount = 0;
    FoundByteTotal = 0;
    setStatusText(1, QString());
    UpdateFoundTotals(0, 0);

    EnterScanningState();
    FileListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QList<ScanDrive> drives;
    const QList<platform::Volume> volumes = platform::Volumes::list();
    for (const QByteArray &root : roots) {
        ScanDrive drive{root, QString(), QString()};
        for (const platform::Volume &volume : volumes) {
            if (volume.root == root) {
                drive.label = volume.label;
                drive.caption = volume.caption;
            }
        }
        drives.append(drive);
    }
    m_tempScan->run(*KvFindFile, drives);
    finishTempScan();
}

void TClarivexMainForm::showPendingProgress()
{
    if (m_pendingFolderText) {
        setStatusText(1, *m_pendingFolderText);
        m_pendingFolderText.reset();
    }
    if (m_totalsPending) {
        UpdateFoundTotals(FoundFileCount, FoundByteTotal);
        m_totalsPending = false;
    }
    showWalkProgress();
}

void TClarivexMainForm::finishTempScan()
{
    showPendingProgress();
    emit walkFinished();
    setStatusText(0, QStringLiteral("Adding File Tree items. Please wait..."));
    setStatusText(1, QString());
    FileListView->Model()->FlushPending();
    PathTreeViewFileTree->Paths = m_tempScan->CandidateKeys;
    PathTreeViewFileTree->Rebuild();
    if (PathTreeViewFileTree->model() && PathTreeViewFileTree->model()->rowCount() > 0)
        PathTreeViewFileTree->setCurrentIndex(PathTreeViewFileTree->model()->index(0, 0));
    if (m_tempFilesPage->cbTFPlaySound->isChecked()) optionsPage()->sbPlaySoundClick();
    const bool autoClean = m_tempFilesPage->cbTFAutoClean->isChecked();
    try {
        runAutoClean(ScanOrigin::TempFiles, m_tempScanRun, autoClean);
    } catch (...) {
        LeaveScanningState();
        throw;
    }
    LeaveScanningState();
    showScanEnd(QStringLiteral("Temporary Files"), QStringLiteral("Scan Complete."),
                m_tempScan->Stopped);
    if (!autoClean) setStatusText(1, QString()); // the clean's own line says what it left
}

} // namespace clarivex
