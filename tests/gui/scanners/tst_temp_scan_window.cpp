#include "core/base/formats.h"
#include "core/platform/volumes.h"
#include "core/shell/registry_database.h"
#include "gui/scanners/temp_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/search/path_tree_view.h"
#include "gui/shell/logs_page.h"
#include "gui/shell/main_window.h"
#include "gui/toolkit/wrap_check_box.h"
#include "support/finder_fixture.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>

using namespace clarivex;
using clarivex::test::FinderTree;
using clarivex::test::ScopedNotices;

namespace {

platform::Volume folderVolume(const QByteArray &root, const QString &label)
{
    platform::Volume volume;
    volume.root = root;
    volume.label = label;
    volume.caption = label + " (" + QFile::decodeName(root) + ")";
    return volume;
}

// The rows of the list: name -> colour (invalid when the default colour).
QMap<QString, QColor> rows(TClarivexMainForm &window)
{
    QMap<QString, QColor> found;
    FoundFileModel *model = window.FileListView->Model();
    model->FlushPending();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QString name =
            QFile::decodeName(model->FilePath(row).mid(model->FolderOf(row).size()));
        found.insert(name,
                     model->data(model->index(row, colName), Qt::ForegroundRole).value<QColor>());
    }
    return found;
}

QStringList logEvents(TClarivexMainForm &window)
{
    QStringList events;
    for (const LogEntry &entry : window.logsPage()->rows())
        events << entry.event;
    return events;
}

} // namespace

class TestTempScanWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { platform::Volumes::clearFixedList(); }
    void defaultGroupsListAndColour();
    void userGroupWinsTheColour();
    void skipEntriesAndFilters();
    void twoDrivesOneBeginOneEnd();
    void noDriveAndNoGroupMessages();
    void stopKeepsTheRowsFound();
    void unwritableLogEndsTheScan();

private:
    std::unique_ptr<FinderTree> m_tree;
};

void TestTempScanWindow::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
    QFile::remove(EventLog::defaultFilePath());
    m_tree = std::make_unique<FinderTree>();
    m_tree->file("c/windows/temp/~DF1A2B.TMP", "12345");
    m_tree->file("c/docs/report.bak", "ab");
    m_tree->file("c/file0001._dd");
    m_tree->file("c/bootlog.prv");
    m_tree->file("c/notes.txt");
    m_tree->file("c/a.t");
    m_tree->file("d/other.tmp", "xyz");
    platform::Volumes::setFixedList(
        {folderVolume(m_tree->path("c"), "SYSTEM"), folderVolume(m_tree->path("d"), "DATA")});
}

void TestTempScanWindow::defaultGroupsListAndColour()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.tempFilesPage()->DiskListViewTF->SetChecked(0, true);
    window.tempFilesPage()->cbTFPlaySound->setChecked(false);
    window.ShowPage("Temporary Files");
    QCOMPARE(window.PathTreeViewFileTree->model()->rowCount(), 0); // not even a root yet
    window.btnScanNow->click();
    const QMap<QString, QColor> found = rows(window);
    QCOMPARE(found.keys(),
             (QStringList{"bootlog.prv", "file0001._dd", "report.bak", "~DF1A2B.TMP"}));
    QCOMPARE(found["~DF1A2B.TMP"], QColor(0, 0, 255));
    QCOMPARE(found["report.bak"], QColor(0x80, 0x80, 0x80));
    QCOMPARE(found["file0001._dd"], QColor(0x80, 0, 0x80));
    QCOMPARE(found["bootlog.prv"], QColor(0xC0, 0xC0, 0xC0));
    QCOMPARE(window.FoundFileCount, 4);
    QCOMPARE(window.FoundByteTotal, 7);
    QCOMPARE(window.statusText(0), QStringLiteral("Scan Complete."));
    QVERIFY(!window.scanInProgress() && window.btnScan->isEnabled());
    QCOMPARE(window.PathTreeViewFileTree->Paths.size(), 4);
    QCOMPARE(notices->requests().size(), 0);
}

void TestTempScanWindow::userGroupWinsTheColour()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    TTempFilesPage *page = window.tempFilesPage();
    page->DiskListViewTF->SetChecked(0, true);
    notices->queueText(QStringLiteral("Mine"));
    page->btnTFAddFile->click();
    page->clbTempFilesToScanFor->setCurrentRow(6);
    page->txtTempFilesMask->setText("*.t");
    page->btnTFSave->click();
    QCOMPARE(page->txtTempFilesMask->text(), QStringLiteral("*.t;"));
    page->GroupColors[6] = QStringLiteral("clRed");
    window.btnScanTempFilesClick();
    QCOMPARE(rows(window)["a.t"], QColor(255, 0, 0));
}

void TestTempScanWindow::skipEntriesAndFilters()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    TTempFilesPage *page = window.tempFilesPage();
    page->DiskListViewTF->SetChecked(0, true);
    // "windows" is there but unchecked: no effect.
    window.btnScanTempFilesClick();
    QVERIFY(rows(window).contains("~DF1A2B.TMP"));
    page->clbTempFoldersToSkip->item(0)->setCheckState(Qt::Checked);
    window.btnScanTempFilesClick();
    QVERIFY(!rows(window).contains("~DF1A2B.TMP"));
    QCOMPARE(rows(window).size(), 3);
}

void TestTempScanWindow::twoDrivesOneBeginOneEnd()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.tempFilesPage()->DiskListViewTF->SetChecked(0, true);
    window.tempFilesPage()->DiskListViewTF->SetChecked(1, true);
    window.btnScanTempFilesClick();
    QVERIFY(rows(window).contains("other.tmp"));
    QCOMPARE(logEvents(window),
             (QStringList{"Main Program Started", "Temporary Files - Begin", "Found: 10 Bytes",
                          "Found: 5 Files", "Temporary Files - End"}));
}

void TestTempScanWindow::noDriveAndNoGroupMessages()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.tempFilesPage()->DiskListViewTF->SetChecked(0, false); // the first start's choice
    window.btnScanTempFilesClick();
    QCOMPARE(notices->requests().size(), 1);
    QCOMPARE(notices->requests()[0].text,
             QStringLiteral("No Drives selected. Please select at least one drive to be scanned."));
    QCOMPARE(window.currentPage(), QStringLiteral("Temporary Files"));

    TTempFilesPage *page = window.tempFilesPage();
    page->DiskListViewTF->SetChecked(0, true);
    for (int i = 0; i < page->clbTempFilesToScanFor->count(); ++i)
        page->clbTempFilesToScanFor->item(i)->setCheckState(Qt::Unchecked);
    window.btnScanTempFilesClick();
    QCOMPARE(notices->requests().size(), 2);
    QCOMPARE(notices->requests()[1].text,
             QStringLiteral("Please select at least a Group to be scanned"));
    QVERIFY(window.btnScan->isEnabled() && !window.scanInProgress());
}

void TestTempScanWindow::stopKeepsTheRowsFound()
{
    for (int folder = 0; folder < 60; ++folder)
        for (int file = 0; file < 100; ++file)
            m_tree->file(QStringLiteral("c/many/%1/f%2.tmp").arg(folder).arg(file).toUtf8());
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.tempFilesPage()->DiskListViewTF->SetChecked(0, true);
    window.tempFilesPage()->DiskListViewTF->SetChecked(1, true);
    // The first rows shown (by the pump, mid-walk) press Stop.
    // The status bar already shows where the walk is by then, and its busy bar.
    bool stopped = false;
    bool busyBarShown = false;
    QString folderShown;
    connect(window.FileListView->Model(), &QAbstractItemModel::rowsInserted, &window, [&] {
        if (!stopped) {
            stopped = true;
            folderShown = window.statusText(1);
            const QProgressBar *bar = window.scanProgressBar();
            busyBarShown = bar->isVisibleTo(&window) && bar->minimum() == 0 && bar->maximum() == 0;
            window.btnStop->click();
        }
    });
    window.btnScanTempFilesClick();
    QVERIFY(stopped);
    QVERIFY(busyBarShown);
    QVERIFY(!window.scanProgressBar()->isVisibleTo(&window));
    // What the walk saw, as the bar's caption last said it.
    const QRegularExpression seen(QStringLiteral("^Seen: ([0-9,]+) folders, ([0-9,]+) files$"));
    const QRegularExpressionMatch counts = seen.match(window.scanProgressText());
    QVERIFY2(counts.hasMatch(), qPrintable(window.scanProgressText()));
    QVERIFY(counts.captured(1) != QLatin1String("0") && counts.captured(2) != QLatin1String("0"));
    // A folder of the walk, whichever the first pump met: the files of c/
    // itself may come before those of c/many/.
    const QString drive = QFile::decodeName(m_tree->path("c"));
    QVERIFY2(folderShown.startsWith(drive) && folderShown.endsWith('/'), qPrintable(folderShown));
    const int listed = window.FileListView->Model()->rowCount();
    QVERIFY2(listed > 0 && listed < 6004, qPrintable(QString::number(listed)));
    QCOMPARE(window.FoundFileCount, listed);
    // The stop ends the scan: the second drive is not walked, and the status
    // and the log say the scan was stopped.
    QVERIFY(!rows(window).contains("other.tmp"));
    QCOMPARE(window.statusText(0), QStringLiteral("Scan Stopped."));
    QVERIFY(window.scanStopped());
    const QStringList events = logEvents(window);
    QCOMPARE(events.mid(events.indexOf("Temporary Files - Begin")),
             (QStringList{"Temporary Files - Begin", "Temporary Files - Stopped",
                          "Found: " + formatGrouped(window.FoundByteTotal) + " Bytes",
                          "Found: " + formatGrouped(listed) + " Files", "Temporary Files - End"}));

    // The next scan runs to its end again.
    window.btnScanTempFilesClick();
    QCOMPARE(window.statusText(0), QStringLiteral("Scan Complete."));
    QVERIFY(rows(window).contains("other.tmp"));
}

void TestTempScanWindow::unwritableLogEndsTheScan()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.tempFilesPage()->DiskListViewTF->SetChecked(0, true);
    // A folder where the log file should be: every append fails.
    const QString logPath = EventLog::defaultFilePath();
    QVERIFY(QFile::remove(logPath));
    QVERIFY(QDir().mkpath(logPath));
    window.btnScanTempFilesClick();
    QDir(logPath).removeRecursively();
    QCOMPARE(notices->requests().size(), 1); // one error dialog, no scan after it
    QCOMPARE(notices->requests().first().kind, test::ScriptedNotices::Kind::Dialog);
    QCOMPARE(window.FileListView->Model()->rowCount(), 0);
    QVERIFY(!window.scanInProgress() && window.btnScan->isEnabled());
}

CLARIVEX_TEST_MAIN(TestTempScanWindow)
#include "tst_temp_scan_window.moc"
