// The rules of a clean in the real main window, with a duplicate set on the
// list: a scheduled run that follows never cleans the set, "Clean All" takes
// the duplicates and keeps every master, Clean Selected takes what was
// selected and asks before a master goes, and never takes a set's last copy.

#include "core/platform/volumes.h"
#include "core/shell/event_log.h"
#include "core/shell/registry_database.h"
#include "gui/scanners/clean_directories_page.h"
#include "gui/scanners/duplicate_files_page.h"
#include "gui/scanners/temp_files_page.h"
#include "gui/schedule/schedule_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/logs_page.h"
#include "gui/shell/main_window.h"
#include "gui/shell/options_page.h"
#include "gui/toolkit/wrap_check_box.h"
#include "support/finder_fixture.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>

using namespace clarivex;
using clarivex::test::FinderTree;
using clarivex::test::ScopedNotices;

namespace {

QString trash()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash";
}

QStringList logEvents(TClarivexMainForm &window)
{
    QStringList events;
    for (const LogEntry &entry : window.logsPage()->rows())
        events << entry.event;
    return events;
}

} // namespace

class TestCleanRulesWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void scheduledDirectoriesLeaveTheSetAlone();
    void scheduledTempStepStoppedByAWarning_data();
    void scheduledTempStepStoppedByAWarning();
    void scheduledDirectoryCleanTakesOnlyItsOwnRows();
    void cleanAllTakesEveryDuplicateAndNoMaster();
    void cleanSelectedAsksBeforeAMaster_data();
    void cleanSelectedAsksBeforeAMaster();

private:
    // A window with the duplicate sets of the tree on the list (Trash mode,
    // no confirmation of the Trash itself).
    std::unique_ptr<TClarivexMainForm> windowWithSets();
    [[nodiscard]] bool exists(const char *relative) const
    {
        return QFile::exists(QFile::decodeName(m_tree->path(relative)));
    }
    [[nodiscard]] QStringList listed() const;
    void select(const QStringList &names) const;

    std::unique_ptr<FinderTree> m_tree;
    std::unique_ptr<TClarivexMainForm> m_window;
};

void TestCleanRulesWindow::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
    QFile::remove(EventLog::defaultFilePath());
    QDir(trash()).removeRecursively();
    m_tree = std::make_unique<FinderTree>();
    const QDateTime when(QDate(2024, 5, 6), QTime(7, 8, 10));
    // Two sets: a.txt three times, b.dat twice.
    for (const char *path : {"c/x/a.txt", "c/y/a.txt", "c/z/a.txt"}) {
        m_tree->file(path, "0123456789");
        m_tree->setModified(path, when);
    }
    for (const char *path : {"c/x/b.dat", "c/y/b.dat"}) {
        m_tree->file(path, "abcdefghijklmnopqrst");
        m_tree->setModified(path, when);
    }
    m_tree->file("c/junk/~x.tmp", "tmp");
    m_tree->file("dirs/cache1.bin", "cache");
    m_tree->file("dirs/cache2.bin", "cache2");
    platform::Volume volume;
    volume.root = m_tree->path("c");
    volume.caption = "c";
    platform::Volumes::setFixedList({volume});
}

void TestCleanRulesWindow::cleanup()
{
    m_window.reset();
    platform::Volumes::clearFixedList();
}

std::unique_ptr<TClarivexMainForm> TestCleanRulesWindow::windowWithSets()
{
    auto window = std::make_unique<TClarivexMainForm>();
    window->createWindowSteps({});
    window->optionsPage()->setDeleteType(0);
    window->optionsPage()->cbConfirmDelete->setChecked(false);
    window->duplicatesPage()->DiskListViewDF->SetChecked(0, true);
    window->duplicatesPage()->cbDFPlaySound->setChecked(false);
    window->tempFilesPage()->cbTFPlaySound->setChecked(false);
    // The directory scan looks only where the test says.
    TCleanDirectoriesPage *dirs = window->directoriesPage();
    for (QCheckBox *box :
         {dirs->cbTemporaryDir, dirs->cbDocsFolder, dirs->cbIECacheDir, dirs->cbNetscapeCacheDir})
        box->setChecked(false);
    dirs->clbDirectories->clear();
    window->btnScanDupeFilesClick();
    window->FileListView->Model()->FlushPending();
    return window;
}

QStringList TestCleanRulesWindow::listed() const
{
    QStringList names;
    const FoundFileModel *model = m_window->FileListView->Model();
    const QByteArray root = m_tree->root() + '/';
    for (int row = 0; row < model->RowCount(); ++row) {
        if (!model->IsSeparator(row))
            names << QFile::decodeName(model->FilePath(row).mid(root.size()));
    }
    names.sort();
    return names;
}

void TestCleanRulesWindow::select(const QStringList &names) const
{
    TKvFileListView *list = m_window->FileListView;
    list->clearSelection();
    const QByteArray root = m_tree->root() + '/';
    for (int row = 0; row < list->Model()->RowCount(); ++row) {
        const QString name = QFile::decodeName(list->Model()->FilePath(row).mid(root.size()));
        if (names.contains(name))
            list->selectionModel()->select(list->Model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void TestCleanRulesWindow::scheduledDirectoriesLeaveTheSetAlone()
{
    ScopedNotices notices;
    m_window = windowWithSets();
    QCOMPARE(listed().size(), 5);
    // A scheduled run of the directory scan alone, its automatic clean on,
    // finding nothing: it keeps the list, and must not clean it.
    m_window->schedulePage()->cbScheduleTF->setChecked(false);
    m_window->schedulePage()->cbScheduleDirs->setChecked(true);
    m_window->directoriesPage()->cbDirsAutoClean->setChecked(true);
    QCOMPARE(m_window->WMCopyData("/TIME_TO_RUN_SCHEDULED_EVENT"), 1);
    QCOMPARE(m_window->scheduledRunCount(), 1);
    for (const char *path : {"c/x/a.txt", "c/y/a.txt", "c/z/a.txt", "c/x/b.dat", "c/y/b.dat"})
        QVERIFY2(exists(path), path);
    QCOMPARE(listed().size(), 5); // untouched and listed

    // "Clean All" then takes the duplicates and keeps each set's master.
    m_window->btnCleanAll->click();
    QVERIFY(exists("c/x/a.txt"));
    QVERIFY(exists("c/x/b.dat"));
    QVERIFY(!exists("c/y/a.txt") && !exists("c/z/a.txt") && !exists("c/y/b.dat"));
    QCOMPARE(listed(), (QStringList{"c/x/a.txt", "c/x/b.dat"}));
}

void TestCleanRulesWindow::scheduledTempStepStoppedByAWarning_data()
{
    QTest::addColumn<bool>("drive");
    QTest::addColumn<QString>("warning");
    QTest::newRow("no drive") << false
                              << "No Drives selected. Please select at least one drive to be "
                                 "scanned.";
    QTest::newRow("no group") << true << "Please select at least a Group to be scanned";
}

void TestCleanRulesWindow::scheduledTempStepStoppedByAWarning()
{
    QFETCH(bool, drive);
    QFETCH(QString, warning);
    ScopedNotices notices;
    m_window = windowWithSets();
    TTempFilesPage *temp = m_window->tempFilesPage();
    temp->DiskListViewTF->SetChecked(0, drive);
    for (int i = 0; i < temp->clbTempFilesToScanFor->count(); ++i)
        temp->clbTempFilesToScanFor->item(i)->setCheckState(drive ? Qt::Unchecked : Qt::Checked);
    temp->cbTFAutoClean->setChecked(true);
    m_window->schedulePage()->cbScheduleTF->setChecked(true);
    m_window->schedulePage()->cbScheduleDirs->setChecked(false);
    const TScanKind kindBefore = m_window->ScanKind;
    m_window->ScheduledRun();
    QCOMPARE(notices->requests().size(), 1);
    QCOMPARE(notices->requests().first().text, warning);
    // The list and what the window takes it to hold are as they were.
    QCOMPARE(listed().size(), 5);
    const TScanKind kindAfter = m_window->ScanKind;

    m_window->btnCleanAll->click();
    QVERIFY(exists("c/x/a.txt"));
    QVERIFY(exists("c/x/b.dat"));
    QCOMPARE(listed(), (QStringList{"c/x/a.txt", "c/x/b.dat"}));
    QCOMPARE(kindAfter, kindBefore);
}

void TestCleanRulesWindow::scheduledDirectoryCleanTakesOnlyItsOwnRows()
{
    ScopedNotices notices;
    m_window = windowWithSets();
    TTempFilesPage *temp = m_window->tempFilesPage();
    temp->DiskListViewTF->SetChecked(0, true);
    temp->cbTFAutoClean->setChecked(false);
    TCleanDirectoriesPage *dirs = m_window->directoriesPage();
    dirs->cbDirsAutoClean->setChecked(true);
    auto *entry =
        new QListWidgetItem(QFile::decodeName(m_tree->path("dirs")), dirs->clbDirectories);
    entry->setCheckState(Qt::Checked);
    m_window->schedulePage()->cbScheduleTF->setChecked(true);
    m_window->schedulePage()->cbScheduleDirs->setChecked(true);
    m_window->ScheduledRun();

    // The directory step's clean took its own files; the temporary file,
    // whose scan cleans nothing by itself, stays listed.
    QVERIFY(!exists("dirs/cache1.bin") && !exists("dirs/cache2.bin"));
    QVERIFY(exists("c/junk/~x.tmp"));
    QCOMPARE(listed(), QStringList{"c/junk/~x.tmp"});
    for (const char *path : {"c/x/a.txt", "c/y/a.txt", "c/z/a.txt", "c/x/b.dat", "c/y/b.dat"})
        QVERIFY2(exists(path), path);
    // The log names the clean with its mode, what started it, counts and bytes.
    QVERIFY2(logEvents(*m_window).contains("Clean (Move to Trash, scheduled): 2 Files, 11 Bytes"),
             qPrintable(logEvents(*m_window).join('\n')));
}

void TestCleanRulesWindow::cleanAllTakesEveryDuplicateAndNoMaster()
{
    ScopedNotices notices;
    m_window = windowWithSets();
    QVERIFY(m_window->FileListView->SelectedRows().isEmpty());
    m_window->btnCleanAll->click();
    QCOMPARE(listed(), (QStringList{"c/x/a.txt", "c/x/b.dat"}));
    QVERIFY(!exists("c/y/a.txt") && !exists("c/z/a.txt") && !exists("c/y/b.dat"));
    QCOMPARE(m_window->statusText(0), QStringLiteral("Moved 3 files (40 bytes) to the Trash"));
    QCOMPARE(m_window->statusText(1),
             QStringLiteral("2 files were kept: the first copy of a duplicate set"));
    QCOMPARE(notices->requests().size(), 0); // nothing asked: no master was at stake
    // The masters alone are left: another Clean All takes nothing.
    m_window->btnCleanAll->click();
    QCOMPARE(listed(), (QStringList{"c/x/a.txt", "c/x/b.dat"}));
}

void TestCleanRulesWindow::cleanSelectedAsksBeforeAMaster_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("left");
    const QStringList all{"c/x/a.txt", "c/x/b.dat", "c/y/a.txt", "c/y/b.dat", "c/z/a.txt"};
    // Ctrl+A: every copy of every set selected; one copy of each set stays
    // (its master), and there is nothing to ask.
    QTest::newRow("everything selected")
        << all << 0 << false << QStringList{"c/x/a.txt", "c/x/b.dat"};
    QTest::newRow("a master and a copy, yes") << QStringList{"c/x/a.txt", "c/y/a.txt"} << 1 << true
                                              << QStringList{"c/x/b.dat", "c/y/b.dat", "c/z/a.txt"};
    QTest::newRow("a master and a copy, no")
        << QStringList{"c/x/a.txt", "c/y/a.txt"} << 1 << false
        << QStringList{"c/x/a.txt", "c/x/b.dat", "c/y/b.dat", "c/z/a.txt"};
    QTest::newRow("two copies") << QStringList{"c/y/a.txt", "c/z/a.txt"} << 0 << false
                                << QStringList{"c/x/a.txt", "c/x/b.dat", "c/y/b.dat"};
}

void TestCleanRulesWindow::cleanSelectedAsksBeforeAMaster()
{
    QFETCH(QStringList, selected);
    QFETCH(int, questions);
    QFETCH(bool, answer);
    QFETCH(QStringList, left);
    ScopedNotices notices;
    m_window = windowWithSets();
    notices->queueConfirm(answer);
    if (selected.size() == 5)
        m_window->FileListView->selectAll(); // Ctrl+A
    else
        select(selected);
    m_window->btnCleanSelected->click();
    QCOMPARE(listed(), left);
    QCOMPARE(notices->requests().size(), questions);
    if (questions > 0) {
        const QString question = notices->requests().first().text;
        QVERIFY2(question.contains(QFile::decodeName(m_tree->path("c/x/a.txt"))) &&
                     question.contains("first copy") && question.contains("1 copy remains"),
                 qPrintable(question));
    }
    for (const QString &name : left)
        QVERIFY2(QFile::exists(QFile::decodeName(m_tree->root()) + '/' + name), qPrintable(name));
}

CLARIVEX_TEST_MAIN(TestCleanRulesWindow)
#include "tst_clean_rules_window.moc"
