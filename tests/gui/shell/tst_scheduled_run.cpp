// The main window's scheduled run and its next-run computation, on a clock
// the test sets.

#include "core/platform/volumes.h"
#include "core/schedule/schedule_clock.h"
#include "core/schedule/schedule_unit.h"
#include "core/shell/registry_database.h"
#include "gui/scanners/temp_files_page.h"
#include "gui/schedule/schedule_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/logs_page.h"
#include "gui/shell/main_window.h"
#include "gui/toolkit/busy_animation.h"
#include "gui/toolkit/wrap_check_box.h"
#include "support/finder_fixture.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTimeEdit>

#include <stdexcept>

using namespace clarivex;
using namespace clarivex::test;

namespace {

using Clip = ui::BusyAnimation::Clip;

QStringList logEvents(TClarivexMainForm &window)
{
    QStringList events;
    for (const LogEntry &entry : window.logsPage()->rows())
        events << entry.event;
    return events;
}

// What the directory step saw of the window while the run was in progress.
struct Seen
{
    bool active = false;
    Clip clip = Clip::FindFile;
    int rows = -1;
};

} // namespace

class TestScheduledRun : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void bothScansIntoOneListThenTheNextRun();
    void anErrorInAStepStillRestoresTheWindow();
    void aRunIsDroppedWhileAnotherScanRuns();
    void thePageShowsTheNextScanInWords_data();
    void thePageShowsTheNextScanInWords();

private:
    std::unique_ptr<FinderTree> m_tree;
    QDateTime m_now;
};

void TestScheduledRun::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
    m_tree = std::make_unique<FinderTree>();
    m_tree->file("c/windows/temp/~DF1A2B.TMP", "12345");
    m_tree->file("c/docs/report.bak", "ab");
    m_tree->file("c/notes.txt");
    platform::Volume volume;
    volume.root = m_tree->path("c");
    volume.caption = "c";
    platform::Volumes::setFixedList({volume});
    m_now = QDateTime(QDate(2000, 3, 17), QTime(12, 0, 10));
    setScheduleClock([this] { return m_now; });
}

void TestScheduledRun::cleanup()
{
    setScheduleClock({});
    platform::Volumes::clearFixedList();
}

void TestScheduledRun::bothScansIntoOneListThenTheNextRun()
{
    ScopedNotices notices;
    TClarivexMainForm window; // never shown: a run from the tray stays there
    window.createWindowSteps({});
    window.tempFilesPage()->DiskListViewTF->SetChecked(0, true);
    window.tempFilesPage()->cbTFPlaySound->setChecked(false);
    window.schedulePage()->cbScheduleTF->setChecked(true);
    window.schedulePage()->cbScheduleDirs->setChecked(true);
    Seen seen;
    window.ScheduledDirectoryScan = [&] {
        window.FileListView->Model()->FlushPending();
        seen = {window.ScheduledRunActive, window.busyAnimation()->clip(),
                window.FileListView->Model()->rowCount()};
    };
    const quint64 alarms = window.schedule().alarmSerial();
    const QStringList logBefore = logEvents(window);
    m_now = m_now.addSecs(60);

    QCOMPARE(window.WMCopyData("/TIME_TO_RUN_SCHEDULED_EVENT"), 1);
    QCOMPARE(window.scheduledRunCount(), 1);
    QVERIFY(seen.active);
    QCOMPARE(seen.clip, Clip::Schedule);
    QCOMPARE(seen.rows, 2);                 // the temporary files, before the directory step
    QCOMPARE(logEvents(window), logBefore); // the temporary-file step logs nothing
    QVERIFY(!window.ScheduledRunActive);
    QCOMPARE(window.busyAnimation()->clip(), Clip::FindFile);
    QVERIFY(!window.busyAnimation()->isActive());
    QVERIFY(!window.isVisible());
    // Every 30 minutes from 12:01:10.
    QCOMPARE(window.schedule().alarmSerial(), alarms + 1);
    QCOMPARE(window.schedule().AlarmTime, QStringLiteral("12:31:00"));
    QCOMPARE(window.schedule().AlarmDate, m_now.date());
}

void TestScheduledRun::anErrorInAStepStillRestoresTheWindow()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.schedulePage()->cbScheduleTF->setChecked(false);
    window.schedulePage()->cbScheduleDirs->setChecked(true);
    window.ScheduledDirectoryScan = [] { throw std::runtime_error("disk gone"); };
    const quint64 alarms = window.schedule().alarmSerial();
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, window.ScheduledRun());
    QVERIFY(!window.ScheduledRunActive);
    QCOMPARE(window.busyAnimation()->clip(), Clip::FindFile);
    QVERIFY(!window.busyAnimation()->isActive());
    QCOMPARE(window.schedule().alarmSerial(), alarms); // no next run after an error
    // Nothing is left in the way of the next run.
    window.ScheduledDirectoryScan = {};
    window.ScheduledRun();
    QCOMPARE(window.scheduledRunCount(), 2);
}

void TestScheduledRun::aRunIsDroppedWhileAnotherScanRuns()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    window.schedulePage()->cbScheduleTF->setChecked(false);
    window.schedulePage()->cbScheduleDirs->setChecked(true);
    // A message that arrives while the directory step lets events in.
    int nested = -1;
    window.ScheduledDirectoryScan = [&] {
        window.WMCopyData("/TIME_TO_RUN_SCHEDULED_EVENT");
        nested = window.scheduledRunCount();
    };
    window.ScheduledRun();
    QCOMPARE(nested, 1);
    QCOMPARE(window.scheduledRunCount(), 1);

    window.setScanCommandsEnabled(false); // a scan started by the user
    QCOMPARE(window.WMCopyData("/TIME_TO_RUN_SCHEDULED_EVENT"), 1);
    QCOMPARE(window.scheduledRunCount(), 1);
    window.setScanCommandsEnabled(true);
}

void TestScheduledRun::thePageShowsTheNextScanInWords_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("value"); // slider position, picker time, or day of the month
    QTest::addColumn<QString>("label");
    QTest::newRow("every, across midnight")
        << QDateTime(QDate(2000, 3, 17), QTime(23, 50, 10)) << "rbEvery"
        << "15"
        << "Next scan at: 00:20:00 tomorrow";
    QTest::newRow("daily, later today") << QDateTime(QDate(2000, 3, 17), QTime(12, 0)) << "rbDaily"
                                        << "18:00:00"
                                        << "Next scan at: 18:00:00 today";
    QTest::newRow("monthly, past the month's end")
        << QDateTime(QDate(2001, 2, 10), QTime(12, 0)) << "rbMonthly"
        << "31"
        << "Next scan at: 00:00:00 on Wednesday, 28 February";
    QTest::newRow("monthly, next year")
        << QDateTime(QDate(2000, 12, 31), QTime(12, 0)) << "rbMonthly"
        << "5"
        << "Next scan at: 00:00:00 on Friday, 5 January 2001";
    // The slider's left end repeats nothing, and the page says so.
    QTest::newRow("every, at 0") << QDateTime(QDate(2000, 3, 17), QTime(10, 0, 30)) << "rbEvery"
                                 << "0"
                                 << "No scan is planned: 0 minutes means no repeat";
    QTest::newRow("monthly, no number")
        << QDateTime(QDate(2000, 3, 17), QTime(12, 0)) << "rbMonthly"
        << "x"
        << "No scan is planned: the day of the month (\"x\") "
           "is no whole number from 1 to 31";
}

void TestScheduledRun::thePageShowsTheNextScanInWords()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, kind);
    QFETCH(QString, value);
    QFETCH(QString, label);
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    TSchedulePage *page = window.schedulePage();
    QVERIFY(page->cbScheduleScans->isChecked());
    m_now = now;
    page->dtpMonthly->setTime(QTime(0, 0));
    if (kind == QLatin1String("rbEvery")) page->TrackBar95->setValue(value.toInt());
    if (kind == QLatin1String("rbDaily")) page->dtpDaily->setTime(QTime::fromString(value));
    if (kind == QLatin1String("rbMonthly")) page->txtMonthly_Day->setText(value);
    page->findChild<QRadioButton *>(kind)->click();
    QCOMPARE(page->lblNextSearch->text(), label);
    QCOMPARE(window.schedule().hasAlarm(), !label.startsWith(QLatin1String("No")));
}

CLARIVEX_TEST_MAIN(TestScheduledRun)
#include "tst_scheduled_run.moc"
