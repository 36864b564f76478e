#include "gui/scanners/temp_files_page.h"

#include "gui/scanners/check_list_entries.h"
#include "gui/scanners/scan_filters_panel.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/drives_summary_label.h"
#include "gui/toolkit/colour_combo_box.h"
#include "gui/toolkit/notice_service.h"
#include "gui/toolkit/wrap_check_box.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace clarivex {

namespace {
QPushButton *button(const char *name, const char *caption, const char *hint, QWidget *parent)
{
    auto *b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    if (hint) b->setToolTip(QString::fromLatin1(hint));
    return b;
}

QListWidget *checkList(const char *name, QWidget *parent)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    return list;
}
} // namespace

TTempFilesPage::TTempFilesPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *tabs = new QTabWidget(this);
    tabs->addTab(buildOptionsTab(), QStringLiteral("Options"));
    tabs->addTab(buildGroupsTab(), QStringLiteral("Type of Files"));
    tabs->addTab(buildFoldersTab(), QStringLiteral("Folders"));
    filters = new ScanFiltersPanel(QStringLiteral("TF"));
    tabs->addTab(filters, QStringLiteral("Advanced"));
    layout->addWidget(tabs);
}

QWidget *TTempFilesPage::buildOptionsTab()
{
    auto *tab = new QWidget;
    auto *layout = new QHBoxLayout(tab);
    DiskListViewTF = new TDiskListView(tab);
    DiskListViewTF->setObjectName(QStringLiteral("DiskListViewTF"));
    DiskListViewTF->SetColumnCaption(QStringLiteral("Select drives to scan"));
    DiskListViewTF->SetCheckBoxes(true);
    DiskListViewTF->setSelectionMode(QAbstractItemView::SingleSelection);
    DiskListViewTF->SelectLocalDrives = false;
    DiskListViewTF->FillDrives();
    layout->addWidget(DiskListViewTF, 3);
    auto *side = new QVBoxLayout;
    lblSelectedDrivesTF = new DrivesSummaryLabel(tab);
    lblSelectedDrivesTF->setObjectName(QStringLiteral("lblSelectedDrivesTF"));
    cbTFPlaySound = new ui::WrapCheckBox(QStringLiteral("Play sound after finished scanning"), tab);
    cbTFPlaySound->setObjectName(QStringLiteral("cbTFPlaySound"));
    cbTFPlaySound->setChecked(true);
    cbTFAutoClean = new ui::WrapCheckBox(
        QStringLiteral("Automatically clean files when scanning is completed"), tab);
    cbTFAutoClean->setObjectName(QStringLiteral("cbTFAutoClean"));
    side->addWidget(lblSelectedDrivesTF);
    side->addStretch(1);
    side->addWidget(cbTFPlaySound);
    side->addWidget(cbTFAutoClean);
    layout->addLayout(side, 2);
    connect(DiskListViewTF, &TDiskListView::changed, this, &TTempFilesPage::updateDrivesSummary);
    updateDrivesSummary();
    return tab;
}

QWidget *TTempFilesPage::buildGroupsTab()
{
    auto *tab = new QWidget;
    auto *grid = new QGridLayout(tab);
    clbTempFilesToScanFor = checkList("clbTempFilesToScanFor", tab);
    grid->addWidget(clbTempFilesToScanFor, 0, 0, 4, 1);
    btnTFAddFile = button("btnTFAddFile", "&Add", nullptr, tab);
    btnTFEditFile = button("btnTFEditFile", "&Edit", nullptr, tab);
    btnTFRemoveFile = button("btnTFRemoveFile", "&Remove", nullptr, tab);
    grid->addWidget(btnTFAddFile, 0, 1);
    grid->addWidget(btnTFEditFile, 1, 1);
    grid->addWidget(btnTFRemoveFile, 2, 1);
    cbTempFilesColor = new ui::ColourComboBox(tab);
    cbTempFilesColor->setObjectName(QStringLiteral("cbTempFilesColor"));
    grid->addWidget(cbTempFilesColor, 3, 1, Qt::AlignTop);
    auto *maskRow = new QHBoxLayout;
    txtTempFilesMask = new QLineEdit(tab);
    txtTempFilesMask->setObjectName(QStringLiteral("txtTempFilesMask"));
    btnTFSave = button("btnTFSave", "Save", nullptr, tab);
    maskRow->addWidget(txtTempFilesMask, 1);
    maskRow->addWidget(btnTFSave);
    grid->addLayout(maskRow, 4, 0, 1, 2);
    grid->setColumnStretch(0, 1);

    connect(btnTFAddFile, &QPushButton::clicked, this, &TTempFilesPage::btnTFAddFileClick);
    connect(btnTFEditFile, &QPushButton::clicked, this, &TTempFilesPage::btnTFEditFileClick);
    connect(btnTFRemoveFile, &QPushButton::clicked, this, &TTempFilesPage::btnTFRemoveFileClick);
    connect(btnTFSave, &QPushButton::clicked, this, &TTempFilesPage::btnTFSaveClick);
    connect(clbTempFilesToScanFor, &QListWidget::itemClicked, this,
            &TTempFilesPage::clbTempFilesToScanForClick);
    connect(clbTempFilesToScanFor, &QListWidget::currentRowChanged, this,
            &TTempFilesPage::clbTempFilesToScanForClick);
    connect(cbTempFilesColor, &ui::ColourComboBox::colourChanged, this,
            &TTempFilesPage::cbTempFilesColorChange);
    return tab;
}

QWidget *TTempFilesPage::buildFoldersTab()
{
    auto *tab = new QWidget;
    auto *grid = new QGridLayout(tab);
    grid->addWidget(new QLabel(QStringLiteral("Folders to be skipped:"), tab), 0, 0, 1, 2);
    clbTempFoldersToSkip = checkList("clbTempFoldersToSkip", tab);
    grid->addWidget(clbTempFoldersToSkip, 1, 0, 3, 1);
    btnTFAddFolder = button("btnTFAddFolder", "&Add", "Add new entry", tab);
    btnTFRemoveFolder = button("btnTFRemoveFolder", "&Remove", "Remove entry", tab);
    grid->addWidget(btnTFAddFolder, 1, 1);
    grid->addWidget(btnTFRemoveFolder, 2, 1);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(0, 1);
    connect(btnTFAddFolder, &QPushButton::clicked, this, &TTempFilesPage::btnTFAddFolderClick);
    connect(btnTFRemoveFolder, &QPushButton::clicked, this,
            &TTempFilesPage::btnTFRemoveFolderClick);
    return tab;
}

void TTempFilesPage::updateDrivesSummary()
{
    lblSelectedDrivesTF->showDrives(DiskListViewTF->GetSelectedDrives());
}

void TTempFilesPage::loadSettings(const TempFileSettings &settings)
{
    cbTFPlaySound->setChecked(settings.PlaySound);
    cbTFAutoClean->setChecked(settings.AutoClean);
    DiskListViewTF->ApplyDriveMarks(settings.SelectedDrives);
    clbTempFilesToScanFor->clear();
    GroupMasks.clear();
    GroupColors.clear();
    for (const FileGroup &group : settings.FilesGroup) {
        addCheckEntry(clbTempFilesToScanFor, group.name, group.checked);
        GroupMasks << group.masks;
        GroupColors << group.color;
    }
    setCheckEntries(clbTempFoldersToSkip, settings.FilesToSkip);
    filters->loadSettings(settings);
    CurrentGroup = 0;
    updateDrivesSummary();
}

QList<FileGroup> TTempFilesPage::groups() const
{
    QList<FileGroup> list;
    const QList<CheckEntry> entries = checkEntries(clbTempFilesToScanFor);
    for (qsizetype i = 0; i < entries.size(); ++i)
        list.append(
            {entries[i].text, GroupMasks.value(i), GroupColors.value(i), entries[i].checked});
    return list;
}

void TTempFilesPage::saveSettings(TempFileSettings &settings) const
{
    settings.PlaySound = cbTFPlaySound->isChecked();
    settings.AutoClean = cbTFAutoClean->isChecked();
    settings.SelectedDrives = DiskListViewTF->DriveMarks();
    settings.FilesGroup = groups();
    settings.FilesToSkip = checkEntries(clbTempFoldersToSkip);
    filters->saveSettings(settings);
}

TempScanOptions TTempFilesPage::scanOptions() const
{
    TempFileSettings settings;
    saveSettings(settings);
    TempScanOptions options = TempScanOptions::fromSettings(settings, filters->txtSize->text());
    return options;
}

void TTempFilesPage::btnTFAddFileClick()
{
    const auto name = ui::notices().inputText(this, QStringLiteral("Files Group"),
                                              QStringLiteral("Group Name"), QString());
    if (!name || name->isEmpty()) return;
    GroupMasks << QString();
    GroupColors << QStringLiteral("clBlack");
    addCheckEntry(clbTempFilesToScanFor, *name, true);
    // The new group is the one the mask box and "Save" work on from now.
    clbTempFilesToScanFor->setCurrentRow(clbTempFilesToScanFor->count() - 1);
    clbTempFilesToScanForClick();
}

void TTempFilesPage::btnTFEditFileClick()
{
    QListWidgetItem *item = clbTempFilesToScanFor->currentItem();
    if (!item) return;
    const auto name = ui::notices().inputText(this, QStringLiteral("Files Group"),
                                              QStringLiteral("Group Name"), item->text());
    if (name && !name->isEmpty()) item->setText(*name); // the check mark stays
}

void TTempFilesPage::btnTFRemoveFileClick()
{
    const int row = clbTempFilesToScanFor->currentRow();
    if (row < 0) return;
    // Masks and colours go first, so that the neighbour the list highlights
    // next is shown with its own masks, never with those of the removed group.
    GroupMasks.removeAt(row);
    GroupColors.removeAt(row);
    delete clbTempFilesToScanFor->takeItem(row);
    txtTempFilesMask->clear();
    m_showingGroup = true;
    cbTempFilesColor->setColourText(QStringLiteral("clBlack"));
    m_showingGroup = false;
    CurrentGroup = -1; // "Save" writes nowhere until a group is shown
    clbTempFilesToScanForClick();
}

void TTempFilesPage::clbTempFilesToScanForClick()
{
    const int row = clbTempFilesToScanFor->currentRow();
    if (row < 0 || row >= GroupMasks.size() || row >= clbTempFilesToScanFor->count()) return;
    CurrentGroup = row;
    txtTempFilesMask->setText(GroupMasks[row]);
    m_showingGroup = true; // showing the group's colour is no change of it
    cbTempFilesColor->setColourText(GroupColors[row]);
    m_showingGroup = false;
}

void TTempFilesPage::cbTempFilesColorChange(const QString &colour)
{
    if (m_showingGroup || CurrentGroup < 0 || CurrentGroup >= GroupColors.size()) return;
    GroupColors[CurrentGroup] = colour;
}

void TTempFilesPage::btnTFSaveClick()
{
    const QString masks = savedMasks(txtTempFilesMask->text());
    if (masks.isEmpty() || CurrentGroup < 0 || CurrentGroup >= GroupMasks.size()) return;
    txtTempFilesMask->setText(masks);
    GroupMasks[CurrentGroup] = masks;
}

void TTempFilesPage::btnTFAddFolderClick()
{
    const QString folder =
        ui::notices().existingFolder(this, QStringLiteral("Select folder:"), QDir::homePath());
    if (!folder.isEmpty()) addCheckEntry(clbTempFoldersToSkip, folder, true);
}

void TTempFilesPage::btnTFRemoveFolderClick()
{
    (void)removeCurrentEntry(clbTempFoldersToSkip);
}

} // namespace clarivex
