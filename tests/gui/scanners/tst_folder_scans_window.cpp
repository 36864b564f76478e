#include "core/platform/volumes.h"
#include "core/shell/event_log.h"
#include "core/shell/registry_database.h"
#include "core/shell/settings_catalogue.h"
#include "gui/cleaning/file_list_actions.h"
#include "gui/scanners/clean_directories_page.h"
#include "gui/scanners/dead_shortcuts_page.h"
#include "gui/scanners/temp_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/search/path_tree_view.h"
#include "gui/shell/logs_page.h"
#include "gui/shell/main_window.h"
#include "gui/shell/tips_panel.h"
#include "gui/toolkit/wrap_check_box.h"
#include "support/finder_fixture.h"
#include "support/scripted_notices.h"
#include "support/shell_link_builder.h"
#include "support/test_main.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QToolButton>

using namespace clarivex;
using namespace clarivex::test;

namespace {

QStringList listedNames(TClarivexMainForm &window)
{
    QStringList names;
    FoundFileModel *model = window.FileListView->Model();
    model->FlushPending();
    for (int row = 0; row < model->rowCount(); ++row)
        names << QFile::decodeName(model->FilePath(row).mid(model->FolderOf(row).size()));
    names.sort();
    return names;
}

QStringList logEvents(TClarivexMainForm &window)
{
    QStringList events;
    for (const LogEntry &entry : window.logsPage()->rows())
        events << entry.event;
    return events;
}

} // namespace

class TestFolderScansWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void directoryScanListsTheTemporaryFolder();
    void scheduledRunAddsBothScansToOneList();
    void deadShortcutsSkipAnUnreadableOne();
    void brokenSymbolicLinkIsADeadShortcutWithItsTarget();
    void firstStartOffersTheCacheFolders();

private:
    std::unique_ptr<FinderTree> m_tree;
    QByteArray m_savedTmp;
};

void TestFolderScansWindow::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
    QFile::remove(EventLog::defaultFilePath());
    m_tree = std::make_unique<FinderTree>();
    m_tree->file("tmp/one.tmp", "123");
    m_tree->file("tmp/sub/two", "45");
    m_tree->file("c/old.bak", "x");
    m_savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", m_tree->path("tmp"));
}

void TestFolderScansWindow::cleanup()
{
    qputenv("TMPDIR", m_savedTmp);
    platform::Volumes::clearFixedList();
    m_tree.reset();
}

void TestFolderScansWindow::directoryScanListsTheTemporaryFolder()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.directoriesPage()->cbTemporaryDir->setChecked(true);
    window.ShowPage("Clean Directories");
    window.btnScanNow->click();
    QCOMPARE(listedNames(window), (QStringList{"one.tmp", "two"}));
    QCOMPARE(window.ScanKind, skDirectories);
    QCOMPARE(window.FoundFileCount, 2);
    QCOMPARE(window.FoundByteTotal, 5);
    QCOMPARE(window.statusText(0), QStringLiteral("Done."));
    QCOMPARE(window.statusText(1), QString());
    QVERIFY(!window.scanInProgress() && window.btnScan->isEnabled());
    QCOMPARE(window.PathTreeViewFileTree->Paths.size(), 0); // this scan fills no tree
    QCOMPARE(logEvents(window).mid(1), (QStringList{"Directories - Begin", "Found: 5 Bytes",
                                                    "Found: 2 Files", "Directories - End"}));
    QCOMPARE(notices->requests().size(), 0);
}

void TestFolderScansWindow::scheduledRunAddsBothScansToOneList()
{
    platform::Volume volume;
    volume.root = m_tree->path("c");
    volume.caption = volume.label = QStringLiteral("C");
    platform::Volumes::setFixedList({volume});
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.tempFilesPage()->DiskListViewTF->SetChecked(0, true);
    window.tempFilesPage()->cbTFPlaySound->setChecked(false);
    window.directoriesPage()->cbTemporaryDir->setChecked(true);

    window.ScheduledRunActive = true;
    window.btnScanTempFilesClick();
    window.btnScanDirectoriesClick();
    window.ScheduledRunActive = false;
    QCOMPARE(listedNames(window), (QStringList{"old.bak", "one.tmp", "two"}));

    window.btnScanTempFilesClick();
    window.btnScanDirectoriesClick(); // outside a scheduled run the list starts afresh
    QCOMPARE(listedNames(window), (QStringList{"one.tmp", "two"}));
}

void TestFolderScansWindow::deadShortcutsSkipAnUnreadableOne()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QVERIFY(QDir().mkpath(desktop));
    ShellLinkSpec spec;
    spec.localBasePath = QFile::decodeName(m_tree->path("gone.txt"));
    const QByteArray link = buildShellLink(spec);
    for (const auto &[name, bytes] :
         {std::pair{"dead.lnk", link}, std::pair{"broken.lnk", link.left(80)}}) {
        QFile file(desktop + "/" + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.deadShortcutsPage()->chkDeadShortcutsStartMenu->setChecked(false);
    window.deadShortcutsPage()->chkDeadShortcutsRecent->setChecked(false);
    emit window.scanRequested(skDeadShortcuts);
    QCOMPARE(listedNames(window), QStringList{"dead.lnk"});
    QCOMPARE(window.ScanKind, skDeadShortcuts);
    QCOMPARE(window.FoundByteTotal, link.size());
    const QString skipped = "Skipped unreadable shortcut: " + desktop + "/broken.lnk";
    QCOMPARE(window.statusText(1), skipped);
    const QStringList events = logEvents(window);
    QCOMPARE(events.filter(skipped).size(), 1);
    QCOMPARE(events.last(), QStringLiteral("Dead Shortcuts - End"));
    QCOMPARE(notices->requests().size(), 0); // no error dialog: the scan went on
    QFile::remove(desktop + "/dead.lnk");
    QFile::remove(desktop + "/broken.lnk");
}

// A link that points nowhere is listed whatever its target's name, and the
// Tips tab and the properties say where it pointed.
void TestFolderScansWindow::brokenSymbolicLinkIsADeadShortcutWithItsTarget()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QVERIFY(QDir().mkpath(desktop));
    const QString link = desktop + "/broken-link";
    QFile::remove(link);
    QVERIFY(QFile::link("/nonexistent/target", link));
    const auto removeLink = qScopeGuard([&] { QFile::remove(link); });
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.deadShortcutsPage()->chkDeadShortcutsStartMenu->setChecked(false);
    window.deadShortcutsPage()->chkDeadShortcutsRecent->setChecked(false);
    emit window.scanRequested(skDeadShortcuts);
    QCOMPARE(listedNames(window), QStringList{"broken-link"});
    window.FileListView->selectionModel()->select(window.FileListView->model()->index(0, 0),
                                                  QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
    window.ShowTips();
    QVERIFY2(window.tipsPanel()->plainText().contains("/nonexistent/target"),
             qPrintable(window.tipsPanel()->plainText()));
    window.listActions()->FileListViewDblClick();
    QCOMPARE(notices->requests().size(), 1);
    QVERIFY2(notices->requests().first().text.contains("Missing target: /nonexistent/target"),
             qPrintable(notices->requests().first().text));
}

void TestFolderScansWindow::firstStartOffersTheCacheFolders()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    {
        ScopedNotices notices;
        TClarivexMainForm window;
        window.createWindowSteps({});
        QListWidget *list = window.directoriesPage()->clbDirectories;
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), cache + "/thumbnails");
        QCOMPARE(list->item(1)->text(), cache);
        QCOMPARE(list->item(0)->checkState(), Qt::Unchecked);
        QCOMPARE(list->item(1)->checkState(), Qt::Unchecked);
        list->setCurrentRow(0);
        window.directoriesPage()->sbRemoveDirectory->click();
        list->setCurrentRow(0);
        window.directoriesPage()->sbRemoveDirectory->click();
        QCOMPARE(list->count(), 0);
        QVERIFY(window.SaveAllSettings());
    }
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    QCOMPARE(window.directoriesPage()->clbDirectories->count(), 0); // removed stays removed
}

CLARIVEX_TEST_MAIN(TestFolderScansWindow)
#include "tst_folder_scans_window.moc"
