// The duplicate scan in the real main window: the sets in the list, totals,
// status texts, log lines, Stop in both phases and the master drives.

#include "core/platform/volumes.h"
#include "core/search/kv_find_file.h"
#include "core/shell/event_log.h"
#include "core/shell/registry_database.h"
#include "gui/scanners/check_list_entries.h"
#include "gui/scanners/duplicate_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/logs_page.h"
#include "gui/shell/main_window.h"
#include "gui/shell/options_page.h"
#include "gui/shell/tips_panel.h"
#include "support/finder_fixture.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace clarivex;
using clarivex::test::FinderTree;
using clarivex::test::ScopedNotices;
using clarivex::test::ScriptedNotices;

namespace {

platform::Volume folderVolume(const QByteArray &root, platform::VolumeKind kind)
{
    platform::Volume volume;
    volume.root = root;
    volume.kind = kind;
    volume.caption = QFile::decodeName(root);
    return volume;
}

// "-" for a separator, else the path below `root`.
QStringList listRows(TClarivexMainForm &window, const QByteArray &root)
{
    FoundFileModel *model = window.FileListView->Model();
    model->FlushPending();
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        rows << (model->IsSeparator(row)
                     ? QStringLiteral("-")
                     : QFile::decodeName(model->FilePath(row).mid(root.size() + 1)));
    }
    return rows;
}

QStringList logEvents(TClarivexMainForm &window)
{
    QStringList events;
    for (const LogEntry &entry : window.logsPage()->rows())
        events << entry.event;
    return events;
}

QString label(TClarivexMainForm &window, const char *name)
{
    return window.findChild<QLabel *>(QString::fromLatin1(name))->text();
}

} // namespace

class TestDuplicateScanWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { platform::Volumes::clearFixedList(); }
    void setsTotalsTextsAndLog();
    void noDriveSelected();
    void stopDuringCollect();
    void stopDuringCompare();
    void removableDriveAsMaster();
    void masterChangedWhileAsked_data();
    void masterChangedWhileAsked();
    void referenceFolderLinksAndSelection();

private:
    std::unique_ptr<FinderTree> m_tree;
};

void TestDuplicateScanWindow::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
    QFile::remove(EventLog::defaultFilePath());
    m_tree = std::make_unique<FinderTree>();
    const QDateTime when(QDate(2024, 5, 6), QTime(7, 8, 10));
    for (const char *path : {"c/x/a.txt", "c/y/a.txt"}) {
        m_tree->file(path, "0123456789");
        m_tree->setModified(path, when);
    }
    m_tree->file("c/y/other.txt", "unrelated");
    platform::Volumes::setFixedList({folderVolume(m_tree->path("c"), platform::VolumeKind::Fixed)});
}

void TestDuplicateScanWindow::setsTotalsTextsAndLog()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.duplicatesPage()->DiskListViewDF->SetChecked(0, true);
    window.ShowPage(QStringLiteral("Duplicate Files"));
    window.btnScanNow->click();

    QCOMPARE(listRows(window, m_tree->path("c")), (QStringList{"-", "x/a.txt", "y/a.txt"}));
    QCOMPARE(window.ScanKind, skDuplicates);
    QCOMPARE(label(window, "lblFilesFound"), QStringLiteral("Files: 1"));
    QCOMPARE(label(window, "lblBytesFound"), QStringLiteral("Bytes: 10"));
    QCOMPARE(window.statusText(0), QStringLiteral("Scan Complete."));
    QCOMPARE(window.statusText(1),
             QStringLiteral(
                 "Please use the Tips Tab to gain more information about the selected file."));
    QCOMPARE(logEvents(window).mid(logEvents(window).size() - 4),
             (QStringList{"Duplicate Files - Begin", "Found: 10 Bytes", "Found: 1 Files",
                          "Duplicate Files - End"}));
    QVERIFY(window.FileListView->toolTip().startsWith("NOTE: Only delete a duplicate file"));
    // Several rows at once: Clean Selected takes them all (masters only when asked).
    QCOMPARE(window.FileListView->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(!window.statusProgressBar()->isVisible());
    QVERIFY(!window.scanInProgress());
    QVERIFY(window.btnCleanSelected->isEnabled());
    FoundFileModel *model = window.FileListView->Model();
    QCOMPARE(model->data(model->index(2, colName), Qt::ForegroundRole).value<QColor>(),
             QColor(0x80, 0x80, 0x80));
    // The selected duplicate is what a clean takes and what the tips explain.
    window.FileListView->setCurrentIndex(model->index(2, 0));
    QCOMPARE(SelectedFilePath(window.FileListView), m_tree->path("c/y/a.txt"));
    window.ShowTips();
    QVERIFY2(window.tipsPanel()->plainText().contains("This file appears to be a Duplicate File."),
             qPrintable(window.tipsPanel()->plainText()));
    // A separator row names no file.
    window.FileListView->setCurrentIndex(model->index(0, 0));
    QVERIFY(SelectedFilePath(window.FileListView).isEmpty());
}

void TestDuplicateScanWindow::noDriveSelected()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.duplicatesPage()->DiskListViewDF->SetChecked(0, false); // the first start's choice
    window.ShowPage(QStringLiteral("Options"));
    emit window.scanRequested(skDuplicates);
    QCOMPARE(notices->requests().size(), 1);
    QCOMPARE(notices->requests()[0].text,
             QStringLiteral("No Drives selected. Please select at least one drive to be scanned."));
    QCOMPARE(window.currentPage(), QStringLiteral("Duplicate Files"));
    QCOMPARE(window.headerText(), QStringLiteral(" Duplicate Files"));
    QCOMPARE(logEvents(window).mid(logEvents(window).size() - 4),
             (QStringList{"Duplicate Files - Begin", "Found: 0 Bytes", "Found: 0 Files",
                          "Duplicate Files - End"}));
    QVERIFY(!window.scanInProgress());
}

void TestDuplicateScanWindow::stopDuringCollect()
{
    for (int folder = 0; folder < 30; ++folder)
        m_tree->file(QStringLiteral("c/many/%1/a.txt").arg(folder).toUtf8(), "0123456789");
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.duplicatesPage()->DiskListViewDF->SetChecked(0, true);
    // The walk's pump is where the window answers: Stop is pressed there.
    const std::function<void()> pump = window.finder().Pump;
    bool stopped = false;
    window.finder().Pump = [&] {
        if (!stopped && window.scanInProgress()) {
            stopped = true;
            window.btnStop->click();
        }
        pump();
    };
    window.btnScanDupeFilesClick();
    QVERIFY(stopped);
    QCOMPARE(listRows(window, m_tree->path("c")), QStringList{});
    QCOMPARE(window.statusText(1), QStringLiteral("Comparison interrupted"));
    QCOMPARE(window.statusText(0), QStringLiteral("Scan Stopped."));
    QVERIFY(logEvents(window).contains(QStringLiteral("Duplicate Files - Stopped")));
    QVERIFY(!window.scanInProgress());
}

void TestDuplicateScanWindow::stopDuringCompare()
{
    for (int i = 0; i < 300; ++i) {
        const QByteArray content(20 + i, char('a' + i % 26));
        m_tree->file(QStringLiteral("c/p/f%1").arg(i).toUtf8(), content);
        m_tree->file(QStringLiteral("c/q/f%1").arg(i).toUtf8(), content);
    }
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.duplicatesPage()->DiskListViewDF->SetChecked(0, true);
    window.duplicatesPage()->chkCheckFileTimeStamp->setChecked(false);
    bool stopped = false;
    bool barShown = false;
    connect(window.statusProgressBar(), &QProgressBar::valueChanged, &window, [&](int value) {
        barShown = barShown || window.statusProgressBar()->isVisibleTo(&window);
        // The bar's first half is the signing of the 600 files, the second
        // the walk of the runs, where the sets are listed.
        if (value > 320 && !stopped) {
            stopped = true;
            window.btnStop->click();
        }
    });
    window.btnScanDupeFilesClick();
    QVERIFY(stopped);
    QVERIFY(barShown);
    const QStringList rows = listRows(window, m_tree->path("c"));
    QVERIFY2(rows.size() >= 3 && rows.size() < 900, qPrintable(QString::number(rows.size())));
    QCOMPARE(rows.size() % 3, 0); // whole sets only
    QCOMPARE(window.FoundFileCount, rows.size() / 3);
    QCOMPARE(window.statusText(1), QStringLiteral("Comparison interrupted"));
    QVERIFY(!window.statusProgressBar()->isVisibleTo(&window));
}

void TestDuplicateScanWindow::removableDriveAsMaster()
{
    m_tree->file("stick/a.txt", "0123456789");
    m_tree->setModified("stick/a.txt", QDateTime(QDate(2024, 5, 6), QTime(7, 8, 10)));
    m_tree->file("c/z/b.txt", "abc");
    m_tree->file("c/w/b.txt", "abc"); // equal on the disk only: not listed
    platform::Volumes::setFixedList(
        {folderVolume(m_tree->path("c"), platform::VolumeKind::Fixed),
         folderVolume(m_tree->path("stick"), platform::VolumeKind::Removable)});
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.duplicatesPage()->DiskListViewDF->SetChecked(0, true);
    window.duplicatesPage()->DiskListViewDF->SetChecked(1, true);
    window.btnScanDupeFilesClick();
    const qsizetype cut = m_tree->root().size() + 1;
    QStringList rows;
    FoundFileModel *model = window.FileListView->Model();
    for (int row = 0; row < model->rowCount(); ++row)
        rows << QString::fromUtf8(model->IsSeparator(row) ? "-" : model->FilePath(row).mid(cut));
    QCOMPARE(rows, (QStringList{"-", "stick/a.txt", "c/x/a.txt", "c/y/a.txt"}));
    QCOMPARE(window.FoundFileCount, 2);
}

void TestDuplicateScanWindow::masterChangedWhileAsked_data()
{
    QTest::addColumn<QString>("change"); // done to the master while the question is open
    QTest::addColumn<bool>("duplicateGoes");
    QTest::newRow("nothing") << QString() << true;
    QTest::newRow("rewritten, same size") << QStringLiteral("rewrite") << false;
    QTest::newRow("deleted") << QStringLiteral("delete") << false;
    QTest::newRow("replaced by a named pipe") << QStringLiteral("fifo") << false;
}

// The question before a clean can stay open for as long as the user likes:
// the duplicate is compared with its master after it, right before it goes.
void TestDuplicateScanWindow::masterChangedWhileAsked()
{
    QFETCH(QString, change);
    QFETCH(bool, duplicateGoes);
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.optionsPage()->setDeleteType(1); // delete for good
    window.optionsPage()->cbConfirmDelete->setChecked(true);
    window.duplicatesPage()->DiskListViewDF->SetChecked(0, true);
    window.ShowPage(QStringLiteral("Duplicate Files"));
    window.btnScanNow->click();
    QCOMPARE(listRows(window, m_tree->path("c")), (QStringList{"-", "x/a.txt", "y/a.txt"}));

    const QByteArray master = m_tree->path("c/x/a.txt");
    const QByteArray duplicate = m_tree->path("c/y/a.txt");
    notices->setOnRequest([&](const ScriptedNotices::Request &request) {
        if (request.kind != ScriptedNotices::Kind::Confirm) return;
        if (change == QLatin1String("rewrite")) {
            QFile file(QFile::decodeName(master));
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.write("9876543210");
        } else if (change == QLatin1String("delete")) {
            QCOMPARE(::unlink(master.constData()), 0);
        } else if (change == QLatin1String("fifo")) {
            QCOMPARE(::unlink(master.constData()), 0);
            QCOMPARE(::mkfifo(master.constData(), 0600), 0);
        }
    });
    notices->queueConfirm(true);
    FoundFileModel *model = window.FileListView->Model();
    window.FileListView->setCurrentIndex(model->index(2, 0));
    // A look that waited on the pipe would never come back: bounded, and the
    // pipe opened for writing afterwards so that a stuck reader ends.
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 100 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (done) return;
        const int fd = ::open(master.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) ::close(fd);
    });
    QElapsedTimer clock;
    clock.start();
    window.btnCleanSelected->click();
    const qint64 took = clock.elapsed();
    done = true;
    watchdog.join();
    QVERIFY2(took < 5000, "the last look waited on a named pipe");
    QCOMPARE(notices->requests().size(), 1);
    struct stat st;
    QCOMPARE(::lstat(duplicate.constData(), &st) != 0, duplicateGoes);
    QCOMPARE(listRows(window, m_tree->path("c")).size(), duplicateGoes ? 2 : 3);
    if (!duplicateGoes)
        QVERIFY2(window.statusText(1).contains("master"), qPrintable(window.statusText(1)));
}

// A reference folder's file is its set's master and never goes, even
// selected by hand; the popup menu selects all but the master; "Replace
// duplicates with links" makes the copy a name of the master after a question.
void TestDuplicateScanWindow::referenceFolderLinksAndSelection()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.duplicatesPage()->DiskListViewDF->SetChecked(0, true);
    addCheckEntry(window.duplicatesPage()->clbDupeReferenceFolders,
                  QFile::decodeName(m_tree->path("c/y")), true);
    window.ShowPage(QStringLiteral("Duplicate Files"));
    window.btnScanNow->click();
    QCOMPARE(listRows(window, m_tree->path("c")), (QStringList{"-", "x/a.txt", "y/a.txt"}));
    FoundFileModel *model = window.FileListView->Model();
    QVERIFY(model->IsMaster(2) && model->IsReference(2) && !model->IsMaster(1));
    QVERIFY(window.btnLinkDuplicates->isVisibleTo(&window));

    window.FileListView->setCurrentIndex(model->index(2, 0));
    window.btnCleanSelected->click();
    QVERIFY(notices->requests().isEmpty()); // no question about a master that cannot go
    QCOMPARE(listRows(window, m_tree->path("c")).size(), 3);
    QVERIFY2(window.statusText(1).contains("in a reference folder"),
             qPrintable(window.statusText(1)));

    window.findChild<QAction *>(QStringLiteral("ItemSelectButFirst"))->trigger();
    QCOMPARE(window.FileListView->SelectedRows(), QList<int>{1});
    QVERIFY(model->IsMaster(2)); // the reference file stays the master

    notices->queueConfirm(true);
    window.findChild<QAction *>(QStringLiteral("ItemHardLinks"))->trigger();
    QCOMPARE(notices->requests().size(), 1);
    struct stat copy;
    struct stat kept;
    QCOMPARE(::lstat(m_tree->path("c/x/a.txt").constData(), &copy), 0);
    QCOMPARE(::lstat(m_tree->path("c/y/a.txt").constData(), &kept), 0);
    QCOMPARE(copy.st_ino, kept.st_ino);
    QCOMPARE(listRows(window, m_tree->path("c")), (QStringList{"-", "y/a.txt"}));
    QVERIFY2(window.statusText(1).startsWith("Replaced 1 duplicates with hard links"),
             qPrintable(window.statusText(1)));
}

CLARIVEX_TEST_MAIN(TestDuplicateScanWindow)
#include "tst_duplicate_scan_window.moc"
