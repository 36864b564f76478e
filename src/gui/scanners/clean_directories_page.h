#pragma once

// The "Clean Directories" page. Tab "Directories": the four well-known junk
// folders, each with its check box, its folder (read only, filled from the
// system at every load) and an open button, and the automatic clean. Tab
// "More": further folders to scan, added with the folder dialog. Tab
// "Applications": the application junk rules to include.

#include <QWidget>

#include <functional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QToolButton;

namespace clarivex {

struct DirectorySettings;
namespace ui {
class AppRulesTab;
}

class TCleanDirectoriesPage : public QWidget
{
    Q_OBJECT
public:
    explicit TCleanDirectoriesPage(QWidget *parent = nullptr);

    // The check boxes and folders; the four folder edits are filled afresh
    // from the system (they are not stored).
    void loadSettings(const DirectorySettings &settings);
    void saveSettings(DirectorySettings &settings) const;
    // Fills the four folder edits from the system.
    void fillFolders();

    // The well-known folder an open button stands for, by its tag (10
    // temporary, 11 recent, 12 Internet Explorer cache, 13 Netscape cache),
    // computed afresh; empty for another tag.
    [[nodiscard]] static QString folderOfTag(int tag);

    // Opens a folder in the file manager; false when that failed. Set to the
    // desktop's opener; tests replace it.
    std::function<bool(const QString &folder)> openFolder;

    void sbDirectoryClick(int tag);
    void sbAddDirectoryClick();
    void sbRemoveDirectoryClick();

    QCheckBox *cbTemporaryDir = nullptr;
    QLineEdit *txtTempDir = nullptr;
    QToolButton *sbBrowseTempDir = nullptr;
    QCheckBox *cbDocsFolder = nullptr;
    QLineEdit *txtDocsDir = nullptr;
    QToolButton *sbBrowseDocsDir = nullptr;
    QCheckBox *cbIECacheDir = nullptr;
    QLineEdit *txtIECacheDir = nullptr;
    QToolButton *sbBrowseIECacheDir = nullptr;
    QCheckBox *cbNetscapeCacheDir = nullptr;
    QLineEdit *txtNetscapeCacheDir = nullptr;
    QToolButton *sbBrowseNetscapeCacheDir = nullptr;
    QCheckBox *cbDirsAutoClean = nullptr;
    QListWidget *clbDirectories = nullptr;
    QToolButton *sbAddDirectory = nullptr;
    QToolButton *sbRemoveDirectory = nullptr;
    ui::AppRulesTab *appRules = nullptr;

private:
    QWidget *buildDirectoriesTab();
    QWidget *buildMoreTab();
};

} // namespace clarivex
