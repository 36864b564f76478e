#include "core/shell/settings_catalogue.h"
#include "gui/scanners/duplicate_files_page.h"
#include "gui/scanners/scan_filters_panel.h"
#include "gui/search/disk_list_view.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

using namespace clarivex;
using test::ScopedNotices;

class TestDuplicateFilesPage : public QObject
{
    Q_OBJECT
private slots:
    void initialStates();
    void addAndRemoveMasks();
    void addAndRemoveFolders();
    void skipEntryOfFolder_data();
    void skipEntryOfFolder();
    void driveMarksAndSummary();
    void roundTrip();
};

void TestDuplicateFilesPage::initialStates()
{
    TDuplicateFilesPage page;
    auto *tabs = page.findChild<QTabWidget *>();
    QVERIFY(tabs);
    QStringList names;
    for (int i = 0; i < tabs->count(); ++i)
        names << tabs->tabText(i);
    QCOMPARE(names,
             (QStringList{"Options", "Type of Files", "Folders", "Advanced", "Reference Folders"}));
    const QList<QPair<QCheckBox *, QString>> options = {
        {page.chkFloppyIsMaster, "Treat floppy as master"},
        {page.chkCheckFileTimeStamp, "Require same date/time"},
        {page.chkSkipSysBackup, "Skip SYSBCKUP folder"},
        {page.chkSkipEmptyFiles, "Skip zero-length files"},
        {page.chkCheckFileName, "Require same name"},
        {page.chkCheckFileSize, "Require same size"},
        {page.cbDFPlaySound, "Play sound after complete scan"},
        {page.chkUseHashCache, "Remember file hashes between scans"},
    };
    for (const auto &[box, caption] : options) {
        QCOMPARE(box->text(), caption);
        QVERIFY(box->isChecked());
    }
    QCOMPARE(page.DiskListViewDF->headerItem()->text(0), QStringLiteral("Select drives to scan"));
    QVERIFY(page.DiskListViewDF->CheckBoxes());
    QVERIFY(page.DiskListViewDF->GetSelectedDrives().isEmpty());
    QCOMPARE(page.lblSelectedDrivesDF->text(), QStringLiteral("No Drives Selected"));
    QCOMPARE(page.btnDFAddFile->text(), QStringLiteral("&Add"));
    QCOMPARE(page.btnDFRemoveFolder->text(), QStringLiteral("&Remove"));
    QCOMPARE(page.findChild<QCheckBox *>("cbDFHidden"), page.filters->cbHidden);
    QCOMPARE(page.findChild<QLineEdit *>("txtDFSize")->text(), QStringLiteral("100"));
}

void TestDuplicateFilesPage::addAndRemoveMasks()
{
    TDuplicateFilesPage page;
    page.btnDFAddFile->click(); // empty edit: nothing
    QCOMPARE(page.clbDupeFilesToScanFor->count(), 0);
    page.txtDupeFilesToScanFor->setText("*.dll");
    page.btnDFAddFile->click();
    page.txtDupeFilesToScanFor->setText("*.ocx");
    page.btnDFAddFile->click();
    QVERIFY(page.txtDupeFilesToScanFor->text().isEmpty());
    DuplicateFileSettings saved;
    page.saveSettings(saved);
    QCOMPARE(saved.FilesToScan, (QList<CheckEntry>{{"*.dll", true}, {"*.ocx", true}}));
    page.clbDupeFilesToScanFor->setCurrentRow(-1);
    page.btnDFRemoveFile->click(); // none current: nothing
    QCOMPARE(page.clbDupeFilesToScanFor->count(), 2);
    page.clbDupeFilesToScanFor->setCurrentRow(1);
    page.btnDFRemoveFile->click();
    page.saveSettings(saved);
    QCOMPARE(saved.FilesToScan, (QList<CheckEntry>{{"*.dll", true}}));
}

void TestDuplicateFilesPage::addAndRemoveFolders()
{
    QTemporaryDir folder;
    QVERIFY(QDir().mkpath(folder.path() + "/Windows/Temp"));
    ScopedNotices notices;
    TDuplicateFilesPage page;
    page.clbDupeFoldersToSkip->clear();
    notices->queuePath(QString()); // cancelled
    notices->queuePath(folder.path() + "/Windows/Temp");
    page.btnDFAddFolder->click();
    page.btnDFAddFolder->click();
    QCOMPARE(notices->requests().size(), 2);
    QCOMPARE(notices->requests()[0].caption, QStringLiteral("Select folder:"));
    QCOMPARE(notices->unanswered(), 0);
    QCOMPARE(page.clbDupeFoldersToSkip->count(), 1);
    const QString entry = page.clbDupeFoldersToSkip->item(0)->text();
    // The path below its volume: it ends with the folder and has no leading "/".
    QVERIFY2(entry.endsWith("/Windows/Temp") && !entry.startsWith('/'), qPrintable(entry));
    QCOMPARE(page.clbDupeFoldersToSkip->item(0)->checkState(), Qt::Checked);
    page.clbDupeFoldersToSkip->setCurrentRow(0);
    page.btnDFRemoveFolder->click();
    QCOMPARE(page.clbDupeFoldersToSkip->count(), 0);
}

void TestDuplicateFilesPage::skipEntryOfFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("entry");
    QTest::newRow("below the system volume") << "/home/me/tmp"
                                             << "/"
                                             << "home/me/tmp";
    QTest::newRow("below a mounted volume") << "/mnt/data/Windows/Temp/"
                                            << "/mnt/data"
                                            << "Windows/Temp";
    QTest::newRow("the volume itself") << "/mnt/data"
                                       << "/mnt/data/"
                                       << "";
    QTest::newRow("the system root") << "/"
                                     << "/"
                                     << "";
    QTest::newRow("unknown volume") << "/srv/x"
                                    << ""
                                    << "srv/x";
}

void TestDuplicateFilesPage::skipEntryOfFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, root);
    QFETCH(QString, entry);
    QCOMPARE(clarivex::skipEntryOfFolder(folder, root), entry);
}

void TestDuplicateFilesPage::driveMarksAndSummary()
{
    TDuplicateFilesPage page;
    const int rows = page.DiskListViewDF->topLevelItemCount();
    if (rows == 0) QSKIP("no volume is mounted");
    DuplicateFileSettings stored;
    stored.SelectedDrives = QByteArray(1, char(0xFF)); // shorter than the list
    page.loadSettings(stored);
    QVERIFY(page.DiskListViewDF->IsChosen(0));
    for (int row = 1; row < rows; ++row)
        QVERIFY(!page.DiskListViewDF->IsChosen(row));
    QCOMPARE(page.lblSelectedDrivesDF->text(),
             SelectedDrivesSummary(page.DiskListViewDF->GetSelectedDrives()));
    QVERIFY(page.lblSelectedDrivesDF->text().startsWith("Selected drive: \r"));
    DuplicateFileSettings saved;
    page.saveSettings(saved);
    QByteArray expected(rows, char(0xFE));
    expected[0] = char(0xFF);
    QCOMPARE(saved.SelectedDrives, expected);
    stored.SelectedDrives.clear(); // empty marks change nothing
    page.loadSettings(stored);
    QVERIFY(page.DiskListViewDF->IsChosen(0));
    page.DiskListViewDF->SetChecked(0, false);
    QCOMPARE(page.lblSelectedDrivesDF->text(), QStringLiteral("No Drives Selected"));
}

void TestDuplicateFilesPage::roundTrip()
{
    TDuplicateFilesPage page;
    DuplicateFileSettings stored;
    stored.FloppyIsMaster = false;
    stored.CheckFileName = false;
    stored.SkipEmptyFiles = false;
    stored.PlaySound = false;
    stored.SelectedDrives = QByteArray(page.DiskListViewDF->topLevelItemCount(), char(0xFE));
    if (!stored.SelectedDrives.isEmpty()) stored.SelectedDrives.back() = char(0xFF);
    stored.FilesToScan = {{"*.*", false}, {"*.exe", true}};
    stored.FilesToSkip = factoryFoldersToSkip();
    stored.FilesToSkip.append({"Windows/Temp", true});
    stored.FileDate = true;
    stored.Between1 = QDateTime(QDate(2000, 1, 1), QTime(0, 0));
    stored.Between2 = QDateTime(QDate(2000, 12, 31), QTime(23, 59));
    stored.Min = true;
    stored.Size = true;
    stored.TextToScanFor = "x";
    page.loadSettings(stored);
    DuplicateFileSettings saved;
    page.saveSettings(saved);
    QCOMPARE(saved, stored);
}

CLARIVEX_TEST_MAIN(TestDuplicateFilesPage)
#include "tst_duplicate_files_page.moc"
