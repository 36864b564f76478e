// The duplicate scan in the real main window: the sets in the list, totals,
// status texts, log lines, Stop in both phases and the master drives.

#include "core/platform/volumes.h"
#include "core/search/kv_find_file.h"
#include "core/shell/event_log.h"
#include "core/shell/registry_database.h"
#include "gui/scanners/duplicate_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/logs_page.h"
#include "gui/shell/main_window.h"
#include "gui/shell/tips_panel.h"
#include "support/finder_fixture.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

using namespace clarivex;
using clarivex::test::FinderTree;
using clarivex::test::ScopedNotices;

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

CLARIVEX_TEST_MAIN(TestDuplicateScanWindow)
#include "tst_duplicate_scan_window.moc"
