#pragma once

// The "Temporary Files" page: the drives to scan, the file groups with their
// masks and colours, the folders to skip and the advanced filters, on four
// tabs. The page edits the groups; the scan reads them when it starts.

#include "core/base/settings_types.h"
#include "core/scanners/temp_file_scan.h"
#include "gui/search/drives_summary_label.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace clarivex {

class ScanFiltersPanel;
class TDiskListView;
namespace ui {
class ColourComboBox;
class WrapCheckBox;
} // namespace ui

class TTempFilesPage : public QWidget
{
    Q_OBJECT
public:
    explicit TTempFilesPage(QWidget *parent = nullptr);

    void loadSettings(const TempFileSettings &settings);
    void saveSettings(TempFileSettings &settings) const;
    // The options of a scan starting now.
    [[nodiscard]] TempScanOptions scanOptions() const;
    [[nodiscard]] QList<FileGroup> groups() const;

    // Group editing (tab "Type of Files").
    void btnTFAddFileClick();
    void btnTFEditFileClick();
    void btnTFRemoveFileClick();
    void clbTempFilesToScanForClick();
    void btnTFSaveClick();
    // Folders to skip (tab "Folders").
    void btnTFAddFolderClick();
    void btnTFRemoveFolderClick();

    TDiskListView *DiskListViewTF = nullptr;
    DrivesSummaryLabel *lblSelectedDrivesTF = nullptr;
    ui::WrapCheckBox *cbTFPlaySound = nullptr;
    ui::WrapCheckBox *cbTFAutoClean = nullptr;
    QListWidget *clbTempFilesToScanFor = nullptr;
    QLineEdit *txtTempFilesMask = nullptr;
    ui::ColourComboBox *cbTempFilesColor = nullptr;
    QPushButton *btnTFAddFile = nullptr;
    QPushButton *btnTFEditFile = nullptr;
    QPushButton *btnTFRemoveFile = nullptr;
    QPushButton *btnTFSave = nullptr;
    QListWidget *clbTempFoldersToSkip = nullptr;
    QPushButton *btnTFAddFolder = nullptr;
    QPushButton *btnTFRemoveFolder = nullptr;
    ScanFiltersPanel *filters = nullptr;

    // The masks and colours kept beside the check list, one per group.
    QStringList GroupMasks;
    QStringList GroupColors;
    int CurrentGroup = 0;

private:
    QWidget *buildOptionsTab();
    QWidget *buildGroupsTab();
    QWidget *buildFoldersTab();
    void updateDrivesSummary();
    void cbTempFilesColorChange(const QString &colour);
    bool m_showingGroup = false;
};

} // namespace clarivex
