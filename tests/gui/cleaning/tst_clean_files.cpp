// The clean commands on the real window: what leaves the list, what stays,
// what the totals and the status line say, and what is asked.

#include "core/cleaning/clean_texts.h"
#include "core/platform/volumes.h"
#include "core/shell/custom_registry.h"
#include "core/shell/event_log.h"
#include "core/shell/registry_database.h"
#include "gui/scanners/temp_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/logs_page.h"
#include "gui/shell/main_window.h"
#include "gui/shell/options_page.h"
#include "gui/toolkit/wrap_check_box.h"
#include "support/finder_fixture.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <zip.h>

using namespace clarivex;
using namespace clarivex::test;

namespace {

const QStringList kFiles{"a.tmp", "b.tmp", "sub/c.tmp", "sub/d.tmp", "e.tmp"};

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

bool exists(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

QString trash()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash";
}

QByteArray trashFiles()
{
    return QFile::encodeName(trash() + "/files/");
}

QStringList zipEntries(const QByteArray &archive)
{
    QStringList names;
    int error = 0;
    zip_t *zip = zip_open(archive.constData(), ZIP_RDONLY, &error);
    if (!zip) return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i)
        names << QString::fromUtf8(zip_get_name(zip, zip_uint64_t(i), 0));
    zip_close(zip);
    names.sort();
    return names;
}

// A child process that holds a file open until it is killed.
class Holder
{
public:
    explicit Holder(const QByteArray &path)
    {
        m_process.start(
            "sh", {"-c", "exec 3<\"$0\"; echo ready; exec sleep 30", QFile::decodeName(path)});
        m_process.waitForReadyRead(waitLimitMs());
    }
    ~Holder()
    {
        m_process.kill();
        (void)finishes(m_process, "the process holding a file open");
    }
    [[nodiscard]] bool holding() { return m_process.readAll().startsWith("ready"); }

private:
    QProcess m_process;
};

} // namespace

class TestCleanFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void eachMode_data();
    void eachMode();
    void answerNoKeepsEverything_data();
    void answerNoKeepsEverything();
    void inUseFileKeepsItsRow_data();
    void inUseFileKeepsItsRow();
    void partialFailureKeepsExactlyTheFailedRows();
    void cancelKeepsWhatWasNotCleaned_data();
    void cancelKeepsWhatWasNotCleaned();
    void automaticCleanAsksNothing_data();
    void automaticCleanAsksNothing();
    void systemIsNeverCleaned();
    void zipOfVanishedFileSaysFileNotFound();
    void scanKeepsAwayFromTrashAndBackups();

private:
    // A window with the files of kFiles (under "scan/") found by a real scan.
    std::unique_ptr<TClarivexMainForm> scannedWindow(int mode, bool confirm = false);
    [[nodiscard]] QStringList listed() const;
    void select(const QStringList &names) const;
    // The totals are those of the rows left, in the counters and the labels.
    void checkTotals() const;

    std::unique_ptr<FinderTree> m_tree;
    std::unique_ptr<TClarivexMainForm> m_window;
};

void TestCleanFiles::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
    QFile::remove(EventLog::defaultFilePath());
    QDir(trash()).removeRecursively();
    m_tree = std::make_unique<FinderTree>();
    int size = 1;
    for (const QString &file : kFiles)
        m_tree->file("scan/" + file.toUtf8(), QByteArray(size++, 'x'));
    m_tree->file("scan/notes.txt", "keep");
    platform::Volume volume;
    volume.root = m_tree->path("scan");
    volume.label = "SCAN";
    platform::Volumes::setFixedList({volume});
}

void TestCleanFiles::cleanup()
{
    m_window.reset();
    platform::Volumes::clearFixedList();
}

std::unique_ptr<TClarivexMainForm> TestCleanFiles::scannedWindow(int mode, bool confirm)
{
    auto window = std::make_unique<TClarivexMainForm>();
    window->createWindowSteps({});
    window->tempFilesPage()->DiskListViewTF->SetChecked(0, true);
    window->tempFilesPage()->cbTFPlaySound->setChecked(false);
    TOptionsPage *options = window->optionsPage();
    options->setDeleteType(mode);
    options->txtMoveFolderPath->setText(QFile::decodeName(m_tree->path("moved")));
    options->txtZipFileName->setText(QFile::decodeName(m_tree->path("zips")));
    options->cbConfirmDelete->setChecked(confirm);
    window->btnScanTempFilesClick();
    window->FileListView->Model()->FlushPending();
    return window;
}

QStringList TestCleanFiles::listed() const
{
    QStringList names;
    const FoundFileModel *model = m_window->FileListView->Model();
    const QByteArray root = m_tree->path("scan/");
    for (int row = 0; row < model->RowCount(); ++row)
        names << QFile::decodeName(model->FilePath(row).mid(root.size()));
    names.sort();
    return names;
}

void TestCleanFiles::select(const QStringList &names) const
{
    TKvFileListView *list = m_window->FileListView;
    const QByteArray root = m_tree->path("scan/");
    for (int row = 0; row < list->Model()->RowCount(); ++row) {
        const QString name = QFile::decodeName(list->Model()->FilePath(row).mid(root.size()));
        if (names.contains(name))
            list->selectionModel()->select(list->Model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void TestCleanFiles::checkTotals() const
{
    const FoundFileModel *model = m_window->FileListView->Model();
    qint64 bytes = 0;
    for (int row = 0; row < model->RowCount(); ++row)
        bytes += model->Row(row).size;
    QCOMPARE(m_window->FoundFileCount, qint64(model->RowCount()));
    QCOMPARE(m_window->FoundByteTotal, bytes);
    QCOMPARE(m_window->findChild<QLabel *>("lblFilesFound")->text(),
             FoundFilesText(model->RowCount()));
    QCOMPARE(m_window->findChild<QLabel *>("lblBytesFound")->text(), FoundBytesText(bytes));
}

void TestCleanFiles::eachMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("all");
    QTest::addColumn<bool>("defaultFolder"); // the folder setting left empty
    for (int mode = 0; mode < 4; ++mode) {
        const QByteArray name = QByteArray("mode ") + QByteArray::number(mode);
        QTest::newRow(name + ", all") << mode << true << false;
        QTest::newRow(name + ", selected") << mode << false << false;
    }
    QTest::newRow("move, empty folder setting") << 2 << false << true;
    QTest::newRow("zip, empty folder setting") << 3 << false << true;
}

void TestCleanFiles::eachMode()
{
    QFETCH(int, mode);
    QFETCH(bool, all);
    QFETCH(bool, defaultFolder);
    ScopedNotices notices;
    m_window = scannedWindow(mode);
    QCOMPARE(listed(), sorted(kFiles));
    QByteArray folder = m_tree->path(mode == 2 ? "moved/" : "zips/");
    if (defaultFolder) {
        m_window->optionsPage()->txtMoveFolderPath->clear();
        m_window->optionsPage()->txtZipFileName->clear();
        folder = QFile::encodeName(defaultBackupFolder());
    }
    // The zip events: the file in hand on status panel 1, the bar shown.
    QStringList zipStatus;
    connect(m_window.get(), &TClarivexMainForm::cleanProgress, this, [&] {
        if (!m_window->statusProgressBar()->isHidden()) zipStatus << m_window->statusText(1);
    });

    const QStringList chosen = all ? kFiles : QStringList{"b.tmp", "sub/d.tmp"};
    if (all) {
        m_window->btnCleanAll->click();
    } else {
        select(chosen);
        m_window->btnCleanSelected->click();
    }
    QStringList left = kFiles;
    for (const QString &name : chosen)
        left.removeOne(name);
    QCOMPARE(listed(), sorted(left));
    checkTotals();
    QCOMPARE(notices->requests().size(), 0);
    for (const QString &name : kFiles)
        QCOMPARE(exists(m_tree->path("scan/" + name.toUtf8())), left.contains(name));

    const QByteArray archive =
        folder + QDate::currentDate().toString("dd-MM-yyyy").toLatin1() + ".zip";
    for (const QString &name : chosen) {
        const QByteArray base = name.section('/', -1).toUtf8();
        if (mode == 0) QVERIFY2(exists(trashFiles() + base), base.constData());
        if (mode == 1) QVERIFY(!exists(trashFiles() + base));
        if (mode == 2) QVERIFY2(exists(folder + base), (folder + base).constData());
    }
    if (mode == 3) {
        QStringList expected;
        for (const QString &name : chosen) {
            expected << QFile::decodeName(m_tree->path("scan/" + name.toUtf8()).mid(1));
            QVERIFY(zipStatus.contains(QString::fromLatin1(cleaning::texts::kCompressing) +
                                       QFile::decodeName(m_tree->path("scan/" + name.toUtf8()))));
        }
        QCOMPARE(zipEntries(archive), sorted(expected));
        QCOMPARE(m_window->statusText(1),
                 QString::fromLatin1(cleaning::texts::kFilesZipped) + QFile::decodeName(archive));
        QVERIFY(m_window->statusText(0).startsWith("Total Time: "));
        QVERIFY(m_window->statusProgressBar()->isHidden());
    }
}

void TestCleanFiles::answerNoKeepsEverything_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("defaultNo"); // only a deletion for good
    QTest::newRow("Trash") << 0 << "Are you sure you want to move these 5 items to the Trash?"
                           << false;
    QTest::newRow("delete") << 1 << "Are you sure you want to permanently delete these 5 items?"
                            << true;
    QTest::newRow("move") << 2 << "Are you sure you want to move these 5 items to '%1/'?" << false;
    QTest::newRow("zip") << 3
                         << QString::fromLatin1(cleaning::texts::kConfirmCleanAll) +
                                "\n\n5 file(s) will be moved into the archive %1/" +
                                QDate::currentDate().toString("dd-MM-yyyy") + ".zip."
                         << false;
}

void TestCleanFiles::answerNoKeepsEverything()
{
    QFETCH(int, mode);
    QFETCH(QString, question);
    QFETCH(bool, defaultNo);
    ScopedNotices notices;
    m_window = scannedWindow(mode, true);
    notices->queueConfirm(false);
    m_window->btnCleanAll->click();
    QCOMPARE(notices->requests().size(), 1);
    QCOMPARE(notices->requests()[0].kind, ScriptedNotices::Kind::Confirm);
    if (mode == 2) question = question.arg(QFile::decodeName(m_tree->path("moved")));
    if (mode == 3) question = question.arg(QFile::decodeName(m_tree->path("zips")));
    QCOMPARE(notices->requests()[0].text, question);
    QCOMPARE(notices->requests()[0].defaultNo, defaultNo);
    // A No is not a failure: nothing was cleaned, and the status says so.
    QCOMPARE(m_window->statusText(1), QString::fromLatin1(cleaning::texts::kNothingCleaned));
    QCOMPARE(listed(), sorted(kFiles));
    checkTotals();
    for (const QString &name : kFiles)
        QVERIFY(exists(m_tree->path("scan/" + name.toUtf8())));
    QVERIFY(!exists(m_tree->path("moved")) || mode == 2);
    QVERIFY(!exists(m_tree->path("zips")));
}

void TestCleanFiles::inUseFileKeepsItsRow_data()
{
    QTest::addColumn<bool>("all");
    QTest::newRow("clean all") << true;
    QTest::newRow("clean selected") << false;
}

void TestCleanFiles::inUseFileKeepsItsRow()
{
    QFETCH(bool, all);
    ScopedNotices notices;
    m_window = scannedWindow(0);
    const QByteArray held = m_tree->path("scan/sub/c.tmp");
    Holder holder(held);
    QVERIFY(holder.holding());
    if (all) {
        m_window->btnCleanAll->click();
    } else {
        select({"a.tmp", "sub/c.tmp"});
        m_window->btnCleanSelected->click();
    }
    const QStringList left =
        all ? QStringList{"sub/c.tmp"} : QStringList{"b.tmp", "e.tmp", "sub/c.tmp", "sub/d.tmp"};
    QCOMPARE(listed(), left);
    QVERIFY(exists(held));
    checkTotals();
    QCOMPARE(notices->requests().size(), 1);
    QCOMPARE(notices->requests()[0].kind, ScriptedNotices::Kind::Dialog);
    QCOMPARE(notices->requests()[0].caption, QString::fromLatin1(cleaning::texts::kInUseTitle));
    QCOMPARE(notices->requests()[0].text,
             QString::fromLatin1(cleaning::texts::kInUseMessage) + '\n' + QFile::decodeName(held));
    QCOMPARE(m_window->statusText(1), QString::fromLatin1(cleaning::texts::kRemainingInUse));
    if (!all) { // the row that stayed is still selected
        QCOMPARE(m_window->FileListView->SelectedRows().size(), 1);
        QCOMPARE(SelectedFilePath(m_window->FileListView), held);
    }
}

void TestCleanFiles::partialFailureKeepsExactlyTheFailedRows()
{
    ScopedNotices notices;
    m_window = scannedWindow(1);
    // After the scan: one file grows, one is replaced by another file, one goes.
    QFile grown(QFile::decodeName(m_tree->path("scan/b.tmp")));
    QVERIFY(grown.open(QIODevice::Append));
    grown.write("more");
    grown.close();
    // Another file of the same size and time put in d.tmp's place: only the
    // inode tells them apart.
    struct stat seen;
    QCOMPARE(::stat(m_tree->path("scan/sub/d.tmp").constData(), &seen), 0);
    m_tree->file("scan/sub/d.new", "dddd");
    const struct timespec times[2] = {seen.st_atim, seen.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, m_tree->path("scan/sub/d.new").constData(), times, 0), 0);
    QCOMPARE(::rename(m_tree->path("scan/sub/d.new").constData(),
                      m_tree->path("scan/sub/d.tmp").constData()),
             0);
    QVERIFY(QFile::remove(QFile::decodeName(m_tree->path("scan/e.tmp"))));

    m_window->btnCleanAll->click();
    // The file that went by itself left its place: its row goes too.
    QCOMPARE(listed(), (QStringList{"b.tmp", "sub/d.tmp"}));
    checkTotals();
    QVERIFY(exists(m_tree->path("scan/b.tmp")) && exists(m_tree->path("scan/sub/d.tmp")));
    QVERIFY(!exists(m_tree->path("scan/a.tmp")) && !exists(m_tree->path("scan/sub/c.tmp")));
    const QString status = m_window->statusText(1);
    QVERIFY2(status.startsWith("3 file(s) could not be cleaned: "), qPrintable(status));
    QVERIFY2(status.contains(".tmp: "), qPrintable(status));
    QCOMPARE(notices->requests().size(), 0);
}

void TestCleanFiles::cancelKeepsWhatWasNotCleaned_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("Trash") << 0;
    QTest::newRow("delete") << 1;
    QTest::newRow("zip") << 3;
}

void TestCleanFiles::cancelKeepsWhatWasNotCleaned()
{
    QFETCH(int, mode);
    for (int i = 0; i < 150; ++i)
        m_tree->file("scan/many/f" + QByteArray::number(i) + ".tmp", "12345");
    ScopedNotices notices;
    m_window = scannedWindow(mode);
    const int found = m_window->FileListView->Model()->RowCount();
    QCOMPARE(found, 155);
    // Cancel pressed when 40 files are done.
    int dialogs = 0;
    connect(m_window.get(), &TClarivexMainForm::cleanProgress, this,
            [&](qsizetype done, qsizetype total) {
                QCOMPARE(total, qsizetype(found));
                auto *dialog = m_window->findChild<QProgressDialog *>("CleanProgress");
                if (!dialog || done != 40) return;
                ++dialogs;
                QPushButton *cancel = dialog->findChild<QPushButton *>();
                QVERIFY(cancel);
                cancel->click();
            });
    m_window->btnCleanAll->click();
    QCOMPARE(dialogs, 1);
    QVERIFY(!m_window->findChild<QProgressDialog *>("CleanProgress"));
    // A cancelled zip keeps nothing and removes nothing; the other modes keep
    // what they did before the cancel.
    const int left = mode == 3 ? found : found - 40;
    QCOMPARE(m_window->FileListView->Model()->RowCount(), left);
    checkTotals();
    int onDisk = 0;
    for (const QString &name : listed())
        onDisk += exists(m_tree->path("scan/" + name.toUtf8())) ? 1 : 0;
    QCOMPARE(onDisk, left);
    QVERIFY(m_window->btnCleanAll->isEnabled() && !m_window->scanInProgress());
}

void TestCleanFiles::automaticCleanAsksNothing_data()
{
    QTest::addColumn<int>("mode");
    for (int mode = 0; mode < 4; ++mode)
        QTest::newRow(QByteArray::number(mode)) << mode;
}

void TestCleanFiles::automaticCleanAsksNothing()
{
    QFETCH(int, mode);
    ScopedNotices notices;
    auto window = std::make_unique<TClarivexMainForm>();
    window->createWindowSteps({});
    window->tempFilesPage()->DiskListViewTF->SetChecked(0, true);
    window->tempFilesPage()->cbTFPlaySound->setChecked(false);
    window->tempFilesPage()->cbTFAutoClean->setChecked(true);
    window->optionsPage()->setDeleteType(mode);
    window->optionsPage()->txtMoveFolderPath->setText(QFile::decodeName(m_tree->path("moved")));
    window->optionsPage()->txtZipFileName->setText(QFile::decodeName(m_tree->path("zips")));
    window->optionsPage()->cbConfirmDelete->setChecked(true);
    window->btnScanTempFilesClick();
    m_window = std::move(window);
    QCOMPARE(notices->requests().size(), 0);
    QCOMPARE(listed(), QStringList());
    checkTotals();
    for (const QString &name : kFiles)
        QVERIFY(!exists(m_tree->path("scan/" + name.toUtf8())));
    QVERIFY(exists(m_tree->path("scan/notes.txt")));
    QVERIFY(!m_window->AutoCleaning && !m_window->scanInProgress());
}

void TestCleanFiles::systemIsNeverCleaned()
{
    // A fake system beside the files: its folders, and a package's file list
    // that names a file outside them.
    const QByteArray root = m_tree->path("scan");
    for (const char *file : {"usr/lib/libx.chk", "etc/xml/catalog.old", "var/lib/x/super.old",
                             "boot/grub.bak", "var/tmp/left.tmp", "opt/app/a.tmp"})
        m_tree->file("scan/" + QByteArray(file), "s");
    m_tree->file("scan/pkg.bak", "p");
    m_tree->file("scan/var/lib/dpkg/info/thing.list", "/.\n/pkg.bak\n/usr/lib/libx.chk\n");
    const QStringList unprotected = QStringList(kFiles) << "pkg.bak"
                                                        << "var/tmp/left.tmp";
    {
        ScopedNotices notices;
        m_window = std::make_unique<TClarivexMainForm>();
        m_window->setSystemRoot(root);
        m_window->createWindowSteps({});
        m_window->tempFilesPage()->DiskListViewTF->SetChecked(0, true);
        m_window->tempFilesPage()->cbTFPlaySound->setChecked(false);
        m_window->optionsPage()->cbConfirmDelete->setChecked(false);
        m_window->optionsPage()->setDeleteType(1);
        m_window->btnScanTempFilesClick();
        QCOMPARE(listed(), sorted(unprotected));
        QStringList events;
        for (const LogEntry &entry : m_window->logsPage()->rows())
            events << entry.event;
        QCOMPARE(events.filter("Protected").join('|'),
                 QStringLiteral("Protected system folders skipped: 5"));

        // A protected path that reached the list another way is refused too.
        qint64 size = 0;
        QVERIFY(m_window->FileListView->AddFile(m_tree->path("scan/etc/xml/catalog.old"), size));
        m_window->FoundFileCount += 1;
        m_window->FoundByteTotal += size;
        m_window->btnCleanAll->click();
        QCOMPARE(listed(), (QStringList{"etc/xml/catalog.old", "pkg.bak"}));
        checkTotals();
        QVERIFY(exists(m_tree->path("scan/pkg.bak")));
        QVERIFY(exists(m_tree->path("scan/etc/xml/catalog.old")));
        QVERIFY(!exists(m_tree->path("scan/var/tmp/left.tmp")));
        QVERIFY2(m_window->statusText(1).contains("a protected system file"),
                 qPrintable(m_window->statusText(1)));
        m_window.reset();
    }
    // The stored value turns the protection off.
    {
        TRegIniFile ini{QString::fromLatin1(kSettingsRoot)};
        ini.WriteFlag("Settings\\Options", "ProtectSystemFiles", false);
    }
    ScopedNotices notices;
    m_window = std::make_unique<TClarivexMainForm>();
    m_window->setSystemRoot(root);
    m_window->createWindowSteps({});
    m_window->tempFilesPage()->DiskListViewTF->SetChecked(0, true);
    m_window->tempFilesPage()->cbTFPlaySound->setChecked(false);
    m_window->btnScanTempFilesClick();
    QVERIFY(listed().contains("usr/lib/libx.chk"));
    QVERIFY(listed().contains("etc/xml/catalog.old"));
}

// A file gone before the zip clean: the archive's "File not found" error,
// and the other files archived.
void TestCleanFiles::zipOfVanishedFileSaysFileNotFound()
{
    ScopedNotices notices;
    m_window = scannedWindow(3);
    QVERIFY(QFile::remove(m_tree->path("scan/b.tmp")));
    m_window->btnCleanAll->click();
    QCOMPARE(notices->requests().size(), 1);
    QCOMPARE(notices->requests()[0].text, QFile::decodeName(m_tree->path("scan/b.tmp")) +
                                              "   Error#  : 25172   : File not found   " +
                                              QString::fromLocal8Bit(std::strerror(ENOENT)));
    QCOMPARE(listed(), QStringList{});
    QCOMPARE(zipEntries(m_tree->path("zips/") +
                        QDate::currentDate().toString("dd-MM-yyyy").toLatin1() + ".zip")
                 .size(),
             kFiles.size() - 1);
}

// What a clean put away is never found again: not in the Trash, not in the
// move folder, not in the archive folder, whatever the scan starts from.
void TestCleanFiles::scanKeepsAwayFromTrashAndBackups()
{
    ScopedNotices notices;
    m_window = scannedWindow(2);
    // The backup folders and the Trash below the scanned folder.
    m_window->optionsPage()->txtMoveFolderPath->setText(
        QFile::decodeName(m_tree->path("scan/moved")));
    m_window->optionsPage()->txtZipFileName->setText(QFile::decodeName(m_tree->path("scan/zips")));
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", m_tree->path("scan/data"));
    const auto restoreData = qScopeGuard([dataHome] { qputenv("XDG_DATA_HOME", dataHome); });
    m_tree->file("scan/moved/old.tmp", "moved before");
    m_tree->file("scan/zips/other.tmp", "beside the archives");
    m_tree->file("scan/data/Trash/files/x.tmp", "trashed before");
    m_window->btnScanTempFilesClick();
    m_window->FileListView->Model()->FlushPending();
    QCOMPARE(listed(), sorted(kFiles));
}

CLARIVEX_TEST_MAIN(TestCleanFiles)
#include "tst_clean_files.moc"
