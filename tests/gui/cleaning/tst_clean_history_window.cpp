// The clean history in the real window: an automatic clean is recorded and
// told (through the fallback, as no notification service runs here), "Undo
// Last Clean" in the File menu puts its files back and logs it, and the
// "Clean History" dialog undoes the clean chosen, not another.

#include "core/cleaning/clean_history.h"
#include "core/platform/volumes.h"
#include "core/shell/event_log.h"
#include "core/shell/registry_database.h"
#include "gui/cleaning/clean_history_dialog.h"
#include "gui/cleaning/clean_notifier.h"
#include "gui/scanners/temp_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/main_window.h"
#include "gui/shell/options_page.h"
#include "gui/toolkit/wrap_check_box.h"
#include "support/finder_fixture.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeWidget>

#include <sys/stat.h>

using namespace clarivex;
using namespace clarivex::test;

namespace {

const QList<QByteArray> kFiles{"a.tmp", "b.tmp", "sub/c.tmp"};

bool exists(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

QString logText()
{
    QFile file(EventLog::defaultFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestCleanHistoryWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void automaticCleanIsToldAndUndone();
    void dialogUndoesTheChosenClean();

private:
    void scan(bool autoClean);
    [[nodiscard]] QByteArray path(const QByteArray &name) const
    {
        return m_tree->path("scan/" + name);
    }

    std::unique_ptr<FinderTree> m_tree;
    std::unique_ptr<TClarivexMainForm> m_window;
};

void TestCleanHistoryWindow::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"}) {
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
        QFile::remove(cleaning::CleanHistory::defaultPath() + suffix);
    }
    QFile::remove(EventLog::defaultFilePath());
    QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash")
        .removeRecursively();
    m_tree = std::make_unique<FinderTree>();
    int size = 1;
    for (const QByteArray &file : kFiles)
        m_tree->file("scan/" + file, QByteArray(size++, 'x'));
    platform::Volume volume;
    volume.root = m_tree->path("scan");
    volume.label = "SCAN";
    platform::Volumes::setFixedList({volume});
    m_window = std::make_unique<TClarivexMainForm>();
    m_window->createWindowSteps({});
    m_window->tempFilesPage()->DiskListViewTF->SetChecked(0, true);
    m_window->tempFilesPage()->cbTFPlaySound->setChecked(false);
    m_window->optionsPage()->setDeleteType(0);
    m_window->optionsPage()->cbConfirmDelete->setChecked(false);
}

void TestCleanHistoryWindow::cleanup()
{
    m_window.reset();
    platform::Volumes::clearFixedList();
}

void TestCleanHistoryWindow::scan(bool autoClean)
{
    m_window->tempFilesPage()->cbTFAutoClean->setChecked(autoClean);
    m_window->btnScanTempFilesClick();
    m_window->FileListView->Model()->FlushPending();
}

void TestCleanHistoryWindow::automaticCleanIsToldAndUndone()
{
    ScopedNotices notices;
    QStringList told;
    m_window->cleanNotifier()->service = QStringLiteral("org.clarivex.test.NoSuchNotifications");
    m_window->cleanNotifier()->timeoutMs = 500;
    m_window->cleanNotifier()->fallback = [&](const QString &, const QString &text) {
        told << text;
    };
    scan(true);
    for (const QByteArray &name : kFiles)
        QVERIFY(!exists(path(name)));
    QCOMPARE(told, QStringList{QStringLiteral("Cleaned 3 files, 6 bytes")});
    cleaning::CleanHistory history;
    QCOMPARE(history.cleans().size(), 1);
    QCOMPARE(history.cleans().first().trigger, cleaning::CleanTrigger::Automatic);

    // A scan that finds nothing cleans nothing and says nothing.
    scan(true);
    QCOMPARE(told.size(), 1);

    QAction *undo = m_window->findChild<QAction *>(QStringLiteral("MenuItemUndoLastClean"));
    QVERIFY(undo);
    notices->queueConfirm(true);
    undo->trigger();
    int size = 1;
    for (const QByteArray &name : kFiles)
        QCOMPARE(QFileInfo(QFile::decodeName(path(name))).size(), size++);
    QVERIFY2(logText().contains(QStringLiteral(": 3 of 3 files restored")), qPrintable(logText()));
    QVERIFY(notices->requests().last().text.contains(QStringLiteral("3 of 3 files restored")));
}

void TestCleanHistoryWindow::dialogUndoesTheChosenClean()
{
    ScopedNotices notices;
    scan(false);
    // Two cleans: a.tmp first, then the rest.
    TKvFileListView *list = m_window->FileListView;
    for (int row = 0; row < list->Model()->RowCount(); ++row) {
        if (list->Model()->FilePath(row) == path("a.tmp"))
            list->selectionModel()->select(list->Model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    m_window->btnCleanSelected->click();
    m_window->btnCleanAll->click();
    for (const QByteArray &name : kFiles)
        QVERIFY(!exists(path(name)));

    ui::CleanHistoryDialog dialog(m_window.get(), [this](qint64 clean, const auto &progress) {
        return m_window->undoClean(clean, progress);
    });
    QTreeWidget *cleans = dialog.list();
    QCOMPARE(cleans->topLevelItemCount(), 2);
    QCOMPARE(cleans->topLevelItem(0)->text(3), QStringLiteral("2")); // newest first
    QCOMPARE(cleans->topLevelItem(1)->text(5), QStringLiteral("1"));
    cleans->setCurrentItem(cleans->topLevelItem(1));
    dialog.undoButton()->click();
    QVERIFY(exists(path("a.tmp")));
    QVERIFY(!exists(path("b.tmp")));
    QVERIFY(dialog.statusLabel()->text().contains(QStringLiteral("1 of 1 files restored")));
    QCOMPARE(cleans->topLevelItem(1)->text(5), QStringLiteral("0"));
    QCOMPARE(cleans->topLevelItem(0)->text(5), QStringLiteral("2"));
}

CLARIVEX_TEST_MAIN(TestCleanHistoryWindow)
#include "tst_clean_history_window.moc"
