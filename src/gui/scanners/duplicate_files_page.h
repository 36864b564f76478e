#pragma once

// The "Duplicate Files" page. Tab "Options": the drives to scan with their
// summary, how files are compared, and the sound. Tab "Type of Files": the
// masks of the files to compare. Tab "Folders": folders whose files are left
// out. Tab "Advanced": the date, attribute, size and text filters. Tab
// "Reference Folders": folders whose files are always masters, never cleaned.

#include "core/base/settings_types.h"
#include "gui/search/drives_summary_label.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace clarivex {

class ScanFiltersPanel;
class TDiskListView;
struct DuplicateFileSettings;
struct DuplicateScanOptions;

class TDuplicateFilesPage : public QWidget
{
    Q_OBJECT
public:
    explicit TDuplicateFilesPage(QWidget *parent = nullptr);

    // Every setting of the page, set as a click would set it. Empty drive
    // marks leave the drive list as it is; a date that was not stored leaves
    // its picker as it is.
    void loadSettings(const DuplicateFileSettings &settings);
    void saveSettings(DuplicateFileSettings &settings) const;
    // The options as the controls hold them now, for a scan.
    [[nodiscard]] DuplicateScanOptions scanOptions() const;

    void btnDFAddFileClick();
    void btnDFRemoveFileClick();
    void btnDFAddFolderClick();
    void btnDFRemoveFolderClick();
    // Writes the summary of the checked drives into lblSelectedDrivesDF.
    void DiskListViewDFChange();

    TDiskListView *DiskListViewDF = nullptr;
    DrivesSummaryLabel *lblSelectedDrivesDF = nullptr;
    QCheckBox *cbDFPlaySound = nullptr;
    QCheckBox *chkFloppyIsMaster = nullptr;
    QCheckBox *chkCheckFileTimeStamp = nullptr;
    QCheckBox *chkSkipSysBackup = nullptr;
    QCheckBox *chkSkipEmptyFiles = nullptr;
    QCheckBox *chkCheckFileName = nullptr;
    QCheckBox *chkCheckFileSize = nullptr;
    QCheckBox *chkUseHashCache = nullptr;
    QListWidget *clbDupeFilesToScanFor = nullptr;
    QLineEdit *txtDupeFilesToScanFor = nullptr;
    QPushButton *btnDFAddFile = nullptr;
    QPushButton *btnDFRemoveFile = nullptr;
    QListWidget *clbDupeFoldersToSkip = nullptr;
    QPushButton *btnDFAddFolder = nullptr;
    QPushButton *btnDFRemoveFolder = nullptr;
    // Tab "Reference Folders": folders whose files are always masters and
    // never cleaned (full paths).
    QListWidget *clbDupeReferenceFolders = nullptr;
    QPushButton *btnDFAddReference = nullptr;
    QPushButton *btnDFRemoveReference = nullptr;
    [[nodiscard]] QList<CheckEntry> referenceFolders() const;
    ScanFiltersPanel *filters = nullptr; // cbDFFileDate ... txtDFText

private:
    QWidget *buildOptionsTab();
    QWidget *buildFileTypesTab();
    QWidget *buildFoldersTab();
    QWidget *buildReferenceTab();
};

// The entry "Folders to be skipped" makes of a chosen folder: its path below
// the volume it lies on (so that it matches that folder on every volume);
// empty for a volume's root.
[[nodiscard]] QString skipEntryOfFolder(const QString &folder, const QString &volumeRoot);

} // namespace clarivex
