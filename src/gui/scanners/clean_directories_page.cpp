#include "gui/scanners/clean_directories_page.h"

#include "core/base/settings_types.h"
#include "core/scanners/well_known_folders.h"
#include "gui/scanners/app_rules_tab.h"
#include "gui/scanners/check_list_entries.h"
#include "gui/toolkit/notice_service.h"
#include "gui/toolkit/wrap_check_box.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace clarivex {

namespace {

const QString kTitle = QStringLiteral("Clarivex 2000");

enum FolderTag { TempTag = 10, RecentTag = 11, IECacheTag = 12, NetscapeTag = 13 };

QToolButton *toolButton(const char *name, const char *caption, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(QString::fromLatin1(caption));
    return button;
}

} // namespace

TCleanDirectoriesPage::TCleanDirectoriesPage(QWidget *parent) : QWidget(parent)
{
    openFolder = [](const QString &folder) {
        return !folder.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    };
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *tabs = new QTabWidget(this);
    tabs->addTab(buildDirectoriesTab(), QStringLiteral("Directories"));
    tabs->addTab(buildMoreTab(), QStringLiteral("More"));
    appRules = new ui::AppRulesTab;
    tabs->addTab(appRules, QStringLiteral("Applications"));
    layout->addWidget(tabs);
}

QWidget *TCleanDirectoriesPage::buildDirectoriesTab()
{
    auto *tab = new QWidget;
    auto *grid = new QGridLayout(tab);
    grid->setContentsMargins(6, 4, 6, 2);
    grid->setVerticalSpacing(1);
    grid->setColumnStretch(0, 1);
    struct Row
    {
        QCheckBox *&box;
        const char *boxName;
        const char *caption;
        QLineEdit *&edit;
        const char *editName;
        QToolButton *&button;
        const char *buttonName;
        int tag;
    };
    const Row rows[] = {
        {cbTemporaryDir, "cbTemporaryDir", "Temporary Directory", txtTempDir, "txtTempDir",
         sbBrowseTempDir, "sbBrowseTempDir", TempTag},
        {cbDocsFolder, "cbDocsFolder", "Documents Recent Folder", txtDocsDir, "txtDocsDir",
         sbBrowseDocsDir, "sbBrowseDocsDir", RecentTag},
        {cbIECacheDir, "cbIECacheDir", "MS Internet Explorer Cache Directory", txtIECacheDir,
         "txtIECacheDir", sbBrowseIECacheDir, "sbBrowseIECacheDir", IECacheTag},
        {cbNetscapeCacheDir, "cbNetscapeCacheDir", "Netscape 4.x Cache Directory",
         txtNetscapeCacheDir, "txtNetscapeCacheDir", sbBrowseNetscapeCacheDir,
         "sbBrowseNetscapeCacheDir", NetscapeTag},
    };
    int line = 0;
    for (const Row &row : rows) {
        row.box = new QCheckBox(QString::fromLatin1(row.caption), tab);
        row.box->setObjectName(QString::fromLatin1(row.boxName));
        row.edit = new QLineEdit(tab);
        row.edit->setObjectName(QString::fromLatin1(row.editName));
        row.edit->setReadOnly(true);
        row.button = toolButton(row.buttonName, "...", tab);
        row.button->setToolTip(QStringLiteral("Browse Folder"));
        row.button->setProperty("tag", row.tag);
        const int tag = row.tag;
        connect(row.button, &QToolButton::clicked, this, [this, tag] { sbDirectoryClick(tag); });
        grid->addWidget(row.box, line++, 0, 1, 2);
        grid->addWidget(row.edit, line, 0);
        grid->addWidget(row.button, line++, 1);
    }
    cbDirsAutoClean = new ui::WrapCheckBox(
        QStringLiteral("Automatically clean files when scanning is completed"), tab);
    cbDirsAutoClean->setObjectName(QStringLiteral("cbDirsAutoClean"));
    grid->addWidget(cbDirsAutoClean, line++, 0, 1, 2);
    grid->setRowStretch(line, 1);
    return tab;
}

QWidget *TCleanDirectoriesPage::buildMoreTab()
{
    auto *tab = new QWidget;
    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(new QLabel(QStringLiteral("Also scan this directories:"), tab));
    auto *row = new QHBoxLayout;
    clbDirectories = new QListWidget(tab);
    clbDirectories->setObjectName(QStringLiteral("clbDirectories"));
    row->addWidget(clbDirectories, 1);
    auto *buttons = new QVBoxLayout;
    sbAddDirectory = toolButton("sbAddDirectory", "&Add", tab);
    sbRemoveDirectory = toolButton("sbRemoveDirectory", "&Remove", tab);
    for (QToolButton *button : {sbAddDirectory, sbRemoveDirectory}) {
        button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    row->addLayout(buttons);
    layout->addLayout(row, 1);
    connect(sbAddDirectory, &QToolButton::clicked, this,
            &TCleanDirectoriesPage::sbAddDirectoryClick);
    connect(sbRemoveDirectory, &QToolButton::clicked, this,
            &TCleanDirectoriesPage::sbRemoveDirectoryClick);
    return tab;
}

QString TCleanDirectoriesPage::folderOfTag(int tag)
{
    switch (tag) {
    case TempTag:
        return GetTempFolder();
    case RecentTag:
        return GetShellFolder(QStringLiteral("RECENT"));
    case IECacheTag:
        return GetIECacheFolder();
    case NetscapeTag:
        return GetNetscapeCacheFolder();
    default:
        return {};
    }
}

void TCleanDirectoriesPage::fillFolders()
{
    txtTempDir->setText(folderOfTag(TempTag));
    txtDocsDir->setText(folderOfTag(RecentTag));
    txtIECacheDir->setText(folderOfTag(IECacheTag));
    txtNetscapeCacheDir->setText(folderOfTag(NetscapeTag));
}

void TCleanDirectoriesPage::loadSettings(const DirectorySettings &s)
{
    cbTemporaryDir->setChecked(s.TemporaryDir);
    cbDocsFolder->setChecked(s.DocsFolder);
    cbIECacheDir->setChecked(s.IECacheDir);
    cbNetscapeCacheDir->setChecked(s.NetscapeCacheDir);
    cbDirsAutoClean->setChecked(s.AutoClean);
    fillFolders();
    setCheckEntries(clbDirectories, s.Directories);
    appRules->load(s.AppRules);
}

void TCleanDirectoriesPage::saveSettings(DirectorySettings &s) const
{
    s.TemporaryDir = cbTemporaryDir->isChecked();
    s.DocsFolder = cbDocsFolder->isChecked();
    s.IECacheDir = cbIECacheDir->isChecked();
    s.NetscapeCacheDir = cbNetscapeCacheDir->isChecked();
    s.AutoClean = cbDirsAutoClean->isChecked();
    s.Directories = checkEntries(clbDirectories);
    s.AppRules = appRules->checkedIds();
}

void TCleanDirectoriesPage::sbDirectoryClick(int tag)
{
    if (!openFolder(folderOfTag(tag)))
        ui::notices().information(this, kTitle,
                                  QStringLiteral("You do not have Explorer installed."));
}

void TCleanDirectoriesPage::sbAddDirectoryClick()
{
    const QUrl chosen = ui::notices().existingFolderUrl(this, QStringLiteral("Select folder:"),
                                                        QStringLiteral("/"));
    if (chosen.isEmpty()) return; // cancelled
    // A place with no folder of its own on disk (the Trash, a network place).
    if (!chosen.isLocalFile() || !QFileInfo(chosen.toLocalFile()).isDir()) {
        ui::notices().information(this, kTitle,
                                  QStringLiteral("Cannot add this type of directory to the list."));
        return;
    }
    addCheckEntry(clbDirectories, chosen.toLocalFile(), true);
}

void TCleanDirectoriesPage::sbRemoveDirectoryClick()
{
    (void)removeCurrentEntry(clbDirectories);
}

} // namespace clarivex
