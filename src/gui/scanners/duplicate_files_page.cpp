#include "gui/scanners/duplicate_files_page.h"

#include "core/base/settings_types.h"
#include "core/scanners/duplicate_options.h"
#include "gui/scanners/check_list_entries.h"
#include "gui/scanners/scan_filters_panel.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/drives_summary_label.h"
#include "gui/toolkit/notice_service.h"
#include "gui/toolkit/wrap_check_box.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QTabWidget>
#include <QVBoxLayout>

namespace clarivex {

namespace {

QCheckBox *option(const char *name, const char *caption, QWidget *parent)
{
    auto *box = new ui::WrapCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(true);
    return box;
}

QPushButton *button(const char *name, const char *caption, QWidget *parent)
{
    auto *result = new QPushButton(QString::fromLatin1(caption), parent);
    result->setObjectName(QString::fromLatin1(name));
    return result;
}

QListWidget *checkList(const char *name, QWidget *parent)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    return list;
}

// A check list with its caption above and its buttons on the right.
QWidget *listTab(const char *caption, QListWidget *list, QWidget *editor,
                 std::initializer_list<QPushButton *> buttons, QWidget *tab)
{
    auto *layout = new QGridLayout(tab);
    layout->addWidget(new QLabel(QString::fromLatin1(caption), tab), 0, 0, 1, 2);
    layout->addWidget(list, 1, 0);
    auto *column = new QVBoxLayout;
    for (QPushButton *b : buttons)
        column->addWidget(b);
    column->addStretch(1);
    layout->addLayout(column, 1, 1);
    if (editor) layout->addWidget(editor, 2, 0);
    layout->setRowStretch(1, 1);
    return tab;
}

} // namespace

QString skipEntryOfFolder(const QString &folder, const QString &volumeRoot)
{
    QString path = QDir::cleanPath(folder);
    QString root = QDir::cleanPath(volumeRoot);
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    if (!root.endsWith(QLatin1Char('/'))) root += QLatin1Char('/');
    if (!path.startsWith(root)) root = QStringLiteral("/"); // no volume named: below "/"
    path = path.mid(root.size());
    path.chop(1);
    return path;
}

TDuplicateFilesPage::TDuplicateFilesPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *tabs = new QTabWidget(this);
    tabs->addTab(buildOptionsTab(), QStringLiteral("Options"));
    tabs->addTab(buildFileTypesTab(), QStringLiteral("Type of Files"));
    tabs->addTab(buildFoldersTab(), QStringLiteral("Folders"));
    filters = new ScanFiltersPanel(QStringLiteral("DF"));
    tabs->addTab(filters, QStringLiteral("Advanced"));
    tabs->addTab(buildReferenceTab(), QStringLiteral("Reference Folders"));
    layout->addWidget(tabs);
    DiskListViewDFChange();
}

QWidget *TDuplicateFilesPage::buildOptionsTab()
{
    auto *tab = new QWidget;
    auto *layout = new QHBoxLayout(tab);
    auto *drives = new QVBoxLayout;
    DiskListViewDF = new TDiskListView(tab);
    DiskListViewDF->setObjectName(QStringLiteral("DiskListViewDF"));
    DiskListViewDF->SetCheckBoxes(true);
    DiskListViewDF->SetColumnCaption(QStringLiteral("Select drives to scan"));
    DiskListViewDF->setSelectionMode(QAbstractItemView::SingleSelection);
    DiskListViewDF->SelectLocalDrives = false;
    DiskListViewDF->FillDrives();
    connect(DiskListViewDF, &TDiskListView::changed, this,
            &TDuplicateFilesPage::DiskListViewDFChange);
    lblSelectedDrivesDF = new DrivesSummaryLabel(tab);
    lblSelectedDrivesDF->setObjectName(QStringLiteral("lblSelectedDrivesDF"));
    drives->addWidget(DiskListViewDF, 1);
    drives->addWidget(lblSelectedDrivesDF);
    layout->addLayout(drives, 1);

    auto *options = new QVBoxLayout;
    options->setSpacing(1);
    chkFloppyIsMaster = option("chkFloppyIsMaster", "Treat floppy as master", tab);
    chkCheckFileTimeStamp = option("chkCheckFileTimeStamp", "Require same date/time", tab);
    chkSkipSysBackup = option("chkSkipSysBackup", "Skip SYSBCKUP folder", tab);
    chkSkipEmptyFiles = option("chkSkipEmptyFiles", "Skip zero-length files", tab);
    chkCheckFileName = option("chkCheckFileName", "Require same name", tab);
    chkCheckFileSize = option("chkCheckFileSize", "Require same size", tab);
    cbDFPlaySound = option("cbDFPlaySound", "Play sound after complete scan", tab);
    chkUseHashCache = option("chkUseHashCache", "Remember file hashes between scans", tab);
    chkUseHashCache->setToolTip(
        QStringLiteral("Files unchanged since an earlier scan are not read again"));
    for (QCheckBox *box :
         {chkFloppyIsMaster, chkCheckFileTimeStamp, chkSkipSysBackup, chkSkipEmptyFiles,
          chkCheckFileName, chkCheckFileSize, cbDFPlaySound, chkUseHashCache})
        options->addWidget(box);
    options->addStretch(1);
    layout->addLayout(options, 1);
    return tab;
}

QWidget *TDuplicateFilesPage::buildFileTypesTab()
{
    auto *tab = new QWidget;
    clbDupeFilesToScanFor = checkList("clbDupeFilesToScanFor", tab);
    txtDupeFilesToScanFor = new QLineEdit(tab);
    txtDupeFilesToScanFor->setObjectName(QStringLiteral("txtDupeFilesToScanFor"));
    btnDFAddFile = button("btnDFAddFile", "&Add", tab);
    btnDFRemoveFile = button("btnDFRemoveFile", "&Remove", tab);
    connect(btnDFAddFile, &QPushButton::clicked, this, &TDuplicateFilesPage::btnDFAddFileClick);
    connect(btnDFRemoveFile, &QPushButton::clicked, this,
            &TDuplicateFilesPage::btnDFRemoveFileClick);
    connect(txtDupeFilesToScanFor, &QLineEdit::returnPressed, this,
            &TDuplicateFilesPage::btnDFAddFileClick);
    return listTab("File Types to be scanned:", clbDupeFilesToScanFor, txtDupeFilesToScanFor,
                   {btnDFAddFile, btnDFRemoveFile}, tab);
}

QWidget *TDuplicateFilesPage::buildFoldersTab()
{
    auto *tab = new QWidget;
    clbDupeFoldersToSkip = checkList("clbDupeFoldersToSkip", tab);
    btnDFAddFolder = button("btnDFAddFolder", "&Add", tab);
    btnDFRemoveFolder = button("btnDFRemoveFolder", "&Remove", tab);
    connect(btnDFAddFolder, &QPushButton::clicked, this, &TDuplicateFilesPage::btnDFAddFolderClick);
    connect(btnDFRemoveFolder, &QPushButton::clicked, this,
            &TDuplicateFilesPage::btnDFRemoveFolderClick);
    return listTab("Folders to be skipped:", clbDupeFoldersToSkip, nullptr,
                   {btnDFAddFolder, btnDFRemoveFolder}, tab);
}

QWidget *TDuplicateFilesPage::buildReferenceTab()
{
    auto *tab = new QWidget;
    clbDupeReferenceFolders = checkList("clbDupeReferenceFolders", tab);
    btnDFAddReference = button("btnDFAddReference", "A&dd", tab);
    btnDFRemoveReference = button("btnDFRemoveReference", "R&emove", tab);
    connect(btnDFAddReference, &QPushButton::clicked, this, [this] {
        const QString chosen = ui::notices().existingFolder(this, QStringLiteral("Select folder:"),
                                                            QStringLiteral("/"));
        if (!chosen.isEmpty())
            addCheckEntry(clbDupeReferenceFolders, QDir::cleanPath(chosen), true);
    });
    connect(btnDFRemoveReference, &QPushButton::clicked, this,
            [this] { (void)removeCurrentEntry(clbDupeReferenceFolders); });
    return listTab("Reference folders (their files are always kept as masters, never cleaned):",
                   clbDupeReferenceFolders, nullptr, {btnDFAddReference, btnDFRemoveReference},
                   tab);
}

QList<CheckEntry> TDuplicateFilesPage::referenceFolders() const
{
    return checkEntries(clbDupeReferenceFolders);
}

void TDuplicateFilesPage::loadSettings(const DuplicateFileSettings &s)
{
    chkFloppyIsMaster->setChecked(s.FloppyIsMaster);
    chkCheckFileTimeStamp->setChecked(s.CheckFileTimeStamp);
    chkSkipSysBackup->setChecked(s.SkipSysBackup);
    chkSkipEmptyFiles->setChecked(s.SkipEmptyFiles);
    chkCheckFileName->setChecked(s.CheckFileName);
    chkCheckFileSize->setChecked(s.CheckFileSize);
    chkUseHashCache->setChecked(s.UseHashCache);
    cbDFPlaySound->setChecked(s.PlaySound);
    DiskListViewDF->ApplyDriveMarks(s.SelectedDrives);
    setCheckEntries(clbDupeFilesToScanFor, s.FilesToScan);
    setCheckEntries(clbDupeFoldersToSkip, s.FilesToSkip);
    setCheckEntries(clbDupeReferenceFolders, s.ReferenceFolders);
    filters->loadSettings(s);
}

void TDuplicateFilesPage::saveSettings(DuplicateFileSettings &s) const
{
    s.FloppyIsMaster = chkFloppyIsMaster->isChecked();
    s.CheckFileTimeStamp = chkCheckFileTimeStamp->isChecked();
    s.SkipSysBackup = chkSkipSysBackup->isChecked();
    s.SkipEmptyFiles = chkSkipEmptyFiles->isChecked();
    s.CheckFileName = chkCheckFileName->isChecked();
    s.CheckFileSize = chkCheckFileSize->isChecked();
    s.UseHashCache = chkUseHashCache->isChecked();
    s.PlaySound = cbDFPlaySound->isChecked();
    s.SelectedDrives = DiskListViewDF->DriveMarks();
    s.FilesToScan = checkEntries(clbDupeFilesToScanFor);
    s.FilesToSkip = checkEntries(clbDupeFoldersToSkip);
    s.ReferenceFolders = checkEntries(clbDupeReferenceFolders);
    filters->saveSettings(s);
}

DuplicateScanOptions TDuplicateFilesPage::scanOptions() const
{
    DuplicateFileSettings settings;
    saveSettings(settings);
    return DuplicateScanOptions::fromSettings(settings, filters->txtSize->text());
}

void TDuplicateFilesPage::btnDFAddFileClick()
{
    const QString mask = txtDupeFilesToScanFor->text();
    if (mask.isEmpty()) return;
    addCheckEntry(clbDupeFilesToScanFor, mask, true);
    txtDupeFilesToScanFor->clear();
}

void TDuplicateFilesPage::btnDFRemoveFileClick()
{
    (void)removeCurrentEntry(clbDupeFilesToScanFor);
}

void TDuplicateFilesPage::btnDFAddFolderClick()
{
    const QString chosen =
        ui::notices().existingFolder(this, QStringLiteral("Select folder:"), QStringLiteral("/"));
    if (chosen.isEmpty()) return;
    const QString entry = skipEntryOfFolder(chosen, QStorageInfo(chosen).rootPath());
    if (!entry.isEmpty()) addCheckEntry(clbDupeFoldersToSkip, entry, true);
}

void TDuplicateFilesPage::btnDFRemoveFolderClick()
{
    (void)removeCurrentEntry(clbDupeFoldersToSkip);
}

void TDuplicateFilesPage::DiskListViewDFChange()
{
    lblSelectedDrivesDF->showDrives(DiskListViewDF->GetSelectedDrives());
}

} // namespace clarivex
