// What a new user meets on the real window in the first hour: the window's
// first size, closing it with scans scheduled and nothing to run them, and
// the help on a desktop without a browser.

#include "core/platform/copy_data.h"
#include "core/shell/event_log.h"
#include "core/shell/registry_database.h"
#include "core/shell/settings_catalogue.h"
#include "gui/schedule/schedule_page.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/help_viewer.h"
#include "gui/shell/main_window.h"
#include "gui/shell/options_page.h"
#include "support/scripted_notices.h"
#include "support/test_environment.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QCheckBox>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextBrowser>

using namespace clarivex;
using namespace clarivex::test;

namespace {

void freshStore()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
}

} // namespace

class TestFirstHour : public QObject
{
    Q_OBJECT
private slots:
    void init() { freshStore(); }
    void firstStartShowsFifteenRows();
    void closingWithScansButNoSchedulerSaysSo_data();
    void closingWithScansButNoSchedulerSaysSo();
    void helpWithoutABrowserOpensInItsOwnViewer();
};

// The list shows fifteen rows at the first start, or the window is as high
// as the screen lets it be; a size the user chose is kept as it was.
void TestFirstHour::firstStartShowsFifteenRows()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("row.tmp")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    {
        ScopedNotices notices;
        TClarivexMainForm window;
        window.createWindowSteps({});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        qint64 size = 0;
        QVERIFY(window.FileListView->AddFile(QFile::encodeName(file.fileName()), size));
        window.FileListView->Model()->FlushPending();
        const int rowHeight = window.FileListView->rowHeight(0);
        QVERIFY(rowHeight > 0);
        const int rows = window.FileListView->viewport()->height() / rowHeight;
        const QRect area = window.screen()->availableGeometry();
        QVERIFY2(rows >= 15 || window.frameGeometry().height() >= area.height() - rowHeight,
                 qPrintable(QStringLiteral("%1 rows in a window %2 high on a screen of %3")
                                .arg(rows)
                                .arg(window.frameGeometry().height())
                                .arg(area.height())));
        QVERIFY(rows > 4);
        QVERIFY(area.contains(window.frameGeometry()));
        window.resize(640, 480);
        QVERIFY(window.SaveAllSettings());
    }
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(640, 480));
}

void TestFirstHour::closingWithScansButNoSchedulerSaysSo_data()
{
    QTest::addColumn<bool>("scheduled");
    QTest::addColumn<bool>("autoLoad");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::newRow("scheduled, the Scheduler started") << true << false << true << true;
    QTest::newRow("scheduled, left as it is") << true << false << false << true;
    QTest::newRow("scheduled, the Scheduler starts at closing") << true << true << false << false;
    QTest::newRow("nothing scheduled") << false << false << false << false;
}

void TestFirstHour::closingWithScansButNoSchedulerSaysSo()
{
    QFETCH(bool, scheduled);
    QFETCH(bool, autoLoad);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.schedulePage()->cbScheduleScans->setChecked(scheduled);
    // Started at closing from the test's own folder, where no Scheduler is:
    // the failure to start it is the sign that it was tried.
    window.optionsPage()->cbAutoLoadScheduler->setChecked(autoLoad);
    notices->queueConfirm(answer);
    window.close();
    const QStringList expected =
        asked ? QStringList{QStringLiteral("Clarivex 2000")} : QStringList{};
    QStringList questions;
    for (const ScriptedNotices::Request &request : notices->requests())
        if (request.kind == ScriptedNotices::Kind::Confirm) questions << request.caption;
    QCOMPARE(questions, expected);
    if (asked)
        QVERIFY2(notices->requests().first().text.contains(
                     "no scheduled scan will run until Clarivex 2000 is opened again"),
                 qPrintable(notices->requests().first().text));
    // A Yes keeps the option on from now on, and the Scheduler is started.
    QCOMPARE(window.optionsPage()->cbAutoLoadScheduler->isChecked(), autoLoad || answer);
    const bool tried = autoLoad || (asked && answer);
    QCOMPARE(notices->requests().size() - questions.size(), tried ? 1 : 0);
}

// Without a browser for web pages the help shows in a window of its own.
void TestFirstHour::helpWithoutABrowserOpensInItsOwnViewer()
{
    QTemporaryDir empty;
    const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS", QFile::encodeName(empty.path()));
    QTemporaryDir help;
    QFile index(help.filePath(QStringLiteral("index.html")));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("<html><head><title>Clarivex 2000</title></head>"
                "<body><h1>Welcome</h1><p>Scan for temporary files.</p></body></html>");
    index.close();
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.helpIndex = index.fileName();
    emit window.helpRequested();
    qputenv("XDG_DATA_DIRS", dataDirs);
    auto *viewer = window.findChild<HelpViewer *>();
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QVERIFY(viewer->browser()->toPlainText().contains(QStringLiteral("Scan for temporary files.")));
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Clarivex 2000 - Clarivex 2000 Help"));
    QCOMPARE(notices->requests().size(), 0);
    viewer->close();

    window.helpIndex = help.filePath(QStringLiteral("gone.html")); // a help that is missing
    emit window.helpRequested();
    QCOMPARE(notices->requests().size(), 1);
    QVERIFY(notices->requests().first().text.startsWith("The help could not be opened: "));
}

CLARIVEX_TEST_MAIN(TestFirstHour)
#include "tst_first_hour.moc"
