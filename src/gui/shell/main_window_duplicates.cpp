// The duplicate-file scan's side of the main window: the scan command, its
// status texts, the progress bar of the comparison, the sets in the list and
// the log lines.

#include "gui/shell/main_window.h"

#include "core/base/formats.h"
#include "core/platform/volumes.h"
#include "core/scanners/duplicate_keep.h"
#include "core/scanners/duplicate_scan.h"
#include "core/search/kv_find_file.h"
#include "gui/scanners/duplicate_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/search/path_tree_view.h"
#include "gui/shell/options_page.h"
#include "gui/toolkit/notice_service.h"

#include <QCheckBox>
#include <QFrame>
#include <QProgressBar>

namespace clarivex {

void TClarivexMainForm::wireDuplicates()
{
    m_duplicateScan = std::make_unique<DuplicateScan>();
    // Folders change thousands of times a second: the latest is shown when
    // the window next paints; the phase texts at once.
    m_duplicateScan->status = [this](int panel, const QString &text) {
        if (panel == 1)
            m_pendingFolderText = text;
        else
            setStatusText(panel, text);
    };
}

void TClarivexMainForm::btnScanDupeFilesClick()
{
    if (scanInProgress()) return;
    ExplorerPopup->hide();
    setScanCommandsEnabled(false);
    // ScanKind changes when the list is cleared (DuplicateScanStart).
    // A log that cannot be written ends the scan at that event.
    const auto logged = [this] {
        if (!WriteLogEvent(QStringLiteral("Duplicate Files - Begin"))) return false;
        const QList<QByteArray> roots = m_duplicatesPage->DiskListViewDF->GetSelectedDrives();
        if (roots.isEmpty()) {
            ui::notices().information(
                this, QStringLiteral("Clarivex 2000"),
                QStringLiteral(
                    "No Drives selected. Please select at least one drive to be scanned."));
            ShowPage(QStringLiteral("Duplicate Files"));
        } else {
            DuplicateScanStart(roots);
            const qint64 skipped = m_duplicateScan->collector.ProtectedFoldersSkipped;
            if (skipped > 0 && !WriteLogEvent(QStringLiteral("Protected system folders skipped: %1")
                                                  .arg(formatGrouped(skipped))))
                return false;
        }
        return WriteLogEvent(
                   QStringLiteral("Found: %1 Bytes").arg(formatGrouped(FoundByteTotal))) &&
               WriteLogEvent(
                   QStringLiteral("Found: %1 Files").arg(formatGrouped(FoundFileCount))) &&
               WriteLogEvent(QStringLiteral("Duplicate Files - End"));
    };
    (void)logged();
    setScanCommandsEnabled(true);
}

void TClarivexMainForm::DuplicateScanStart(const QList<QByteArray> &roots)
{
    ScanKind = skDuplicates;
    (void)beginScanRun(ScanOrigin::Duplicates);
    EnterScanningState();
    // Several rows at once (Ctrl+A, Shift): Clean Selected takes them all,
    // and the clean's rules keep each set's master unless asked.
    FileListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FoundFileCount = 0;
    FoundByteTotal = 0;
    UpdateFoundTotals(0, 0);
    FileListView->Clear();
    PathTreeViewFileTree->Paths.clear();
    PathTreeViewFileTree->RootName = QStringLiteral("File Tree");
    PathTreeViewFileTree->Rebuild();

    QList<DuplicateDrive> drives;
    const QList<platform::Volume> volumes = platform::Volumes::list();
    for (const QByteArray &root : roots) {
        DuplicateDrive drive{root, false};
        for (const platform::Volume &volume : volumes) {
            if (volume.root == root)
                drive.removable = volume.kind == platform::VolumeKind::Removable;
        }
        drives.append(drive);
    }
    // A reference folder outside the drives chosen is scanned with them.
    for (const QByteArray &folder : referenceFolderPaths()) {
        if (std::none_of(drives.cbegin(), drives.cend(),
                         [&](const DuplicateDrive &d) { return isInFolder(folder, d.root); }))
            drives.append({folder, false});
    }

    DuplicateCompare compare;
    qint64 progressStep = 1;
    m_duplicateScan->compareStarts = [&](qint64 candidates) {
        showPendingProgress();
        setFoundTotalsText(QString(), QString());
        StatusProgressBar->setRange(0, int(std::min<qint64>(std::max<qint64>(candidates - 1, 1),
                                                            std::numeric_limits<int>::max())));
        StatusProgressBar->setValue(0);
        StatusProgressBar->show();
        progressStep = std::max<qint64>(candidates / 500, 1);
        FileListView->Clear();
    };
    compare.status = m_duplicateScan->status;
    compare.pump = KvFindFile->Pump;
    compare.addSeparator = [this] { FileListView->Model()->AddSeparator(); };
    compare.addRow = [this](const QByteArray &folder, quint32, const TFindData &file, bool master,
                            int set) {
        return FileListView->Model()->AddFile(folder, file, nullptr, set, master);
    };
    qint64 shown = 0;
    compare.progress = [&](qint64 walked) {
        FoundFileCount = compare.FoundFileCount;
        FoundByteTotal = compare.FoundByteTotal;
        m_totalsPending = true;
        if (walked - shown >= progressStep) {
            shown = walked;
            StatusProgressBar->setValue(
                int(std::min<qint64>(walked, StatusProgressBar->maximum())));
        }
    };
    m_duplicateScan->collector.protection = systemProtection();
    m_duplicateScan->run(*KvFindFile, drives, m_duplicatesPage->scanOptions(), compare);
    m_duplicateScan->compareStarts = nullptr;
    markReferenceRows();
    finishDuplicateScan(compare);
}

void TClarivexMainForm::finishDuplicateScan(const DuplicateCompare &compare)
{
    const bool interrupted = !m_duplicateScan->ScanContinue;
    m_pendingFolderText.reset();
    FoundFileCount = compare.FoundFileCount;
    FoundByteTotal = compare.FoundByteTotal;
    m_totalsPending = false;
    UpdateFoundTotals(FoundFileCount, FoundByteTotal);
    StatusProgressBar->hide();
    StatusProgressBar->setValue(0);
    FileListView->Model()->FlushPending();
    PathTreeViewFileTree->Paths.clear();
    PathTreeViewFileTree->Rebuild();
    if (PathTreeViewFileTree->model() && PathTreeViewFileTree->model()->rowCount() > 0)
        PathTreeViewFileTree->setCurrentIndex(PathTreeViewFileTree->model()->index(0, 0));
    showScanEnd(QStringLiteral("Duplicate Files"), QStringLiteral("Scan Complete."),
                interrupted || m_scanStopped);
    // A stopped comparison says so; the hint about the tips would hide it.
    setStatusText(1, interrupted ? QStringLiteral("Comparison interrupted")
                                 : QStringLiteral("Please use the Tips Tab to gain more "
                                                  "information about the selected file."));
    if (m_duplicatesPage->cbDFPlaySound->isChecked()) optionsPage()->sbPlaySoundClick();
    LeaveScanningState();
}

} // namespace clarivex
