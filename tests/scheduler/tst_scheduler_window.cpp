// The Scheduler's states, tip and menu, driven in the test's process on a
// clock the test sets.

#include "core/base/settings_types.h"
#include "core/schedule/schedule_clock.h"
#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "scheduler/scheduler_tray.h"
#include "scheduler/scheduler_window.h"
#include "support/test_main.h"

#include <QFile>
#include <QMenu>
#include <QSignalSpy>

using namespace clarivex;
using namespace clarivex::scheduler;

namespace {

const QString kSchedule = QStringLiteral("Settings\\Schedule");

void store(const QString &name, const QString &text)
{
    TRegIniFile ini(QString::fromLatin1(kSettingsRoot));
    ini.WriteText(kSchedule, name, text);
}

void storeNumber(const QString &name, int value)
{
    TRegIniFile ini(QString::fromLatin1(kSettingsRoot));
    ini.WriteNumber(kSchedule, name, value);
}

QStringList captions(TSchedulerWindow &window)
{
    SchedulerTray tray(window); // no notification area here: only the menu is made
    QMenu menu;
    tray.fillMenu(menu);
    QStringList list;
    for (QAction *action : menu.actions())
        list << action->text();
    return list;
}

} // namespace

class TestSchedulerWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { setScheduleClock({}); }
    void pausedIgnoresDueAlarmsButTakesHandOvers();
    void theTipSaysWhyNoScanIsPlanned();
    void scheduleScansOffSetsNoAlarm();
    void shutdownEndsTheProgram();

private:
    QDateTime m_now;
};

void TestSchedulerWindow::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
    m_now = QDateTime(QDate(2000, 3, 17), QTime(12, 0, 0));
    setScheduleClock([this] { return m_now; });
    storeNumber(QStringLiteral("Run"), 2);
    store(QStringLiteral("Daily"), QStringLiteral("18:00:00"));
}

void TestSchedulerWindow::pausedIgnoresDueAlarmsButTakesHandOvers()
{
    TSchedulerWindow window;
    window.schedule().CheckAlarm(); // the first check computes
    QCOMPARE(window.schedule().AlarmTime, QStringLiteral("18:00:00"));
    QCOMPARE(window.tip(), QStringLiteral("Clarivex 2000 Scheduler"));
    QCOMPARE(captions(window), (QStringList{"&Open Clarivex 2000...", "&Disable", "&About", "",
                                            "&Shutdown Clarivex 2000 Scheduler"}));

    window.Command(cmToggle);
    QVERIFY(!window.SchedulerEnabled);
    QCOMPARE(window.tip(), QStringLiteral("Clarivex 2000 Scheduler is paused."));
    QCOMPARE(captions(window).at(1), QStringLiteral("&Enable"));
    QCOMPARE(window.WMCopyData("17-03-2000|12:30:00"), 0);
    QCOMPARE(window.schedule().AlarmTime, QStringLiteral("12:30:00"));
    QCOMPARE(window.WMCopyData("no alarm"), 0); // changes nothing
    QCOMPARE(window.schedule().AlarmTime, QStringLiteral("12:30:00"));

    m_now = QDateTime(QDate(2000, 3, 17), QTime(12, 30, 5));
    window.schedule().CheckAlarm(); // due, and ignored: nothing started, nothing computed
    QCOMPARE(window.schedule().AlarmTime, QStringLiteral("12:30:00"));

    window.Command(cmToggle); // resuming computes from the store
    QVERIFY(window.SchedulerEnabled);
    QCOMPARE(window.tip(), QStringLiteral("Clarivex 2000 Scheduler is ready."));
    QCOMPARE(window.schedule().AlarmDate, QDate(2000, 3, 17));
    QCOMPARE(window.schedule().AlarmTime, QStringLiteral("18:00:00"));
}

void TestSchedulerWindow::theTipSaysWhyNoScanIsPlanned()
{
    store(QStringLiteral("Daily"), QStringLiteral("six o'clock"));
    TSchedulerWindow window;
    QSignalSpy changes(&window, &TSchedulerWindow::stateChanged);
    window.schedule().CheckAlarm();
    QVERIFY(!window.schedule().hasAlarm());
    QCOMPARE(window.tip(),
             QStringLiteral("Clarivex 2000 Scheduler\nNo scan is planned: the time of the daily "
                            "scan (\"six o'clock\") is no time of day"));
    QCOMPARE(changes.count(), 1);

    store(QStringLiteral("Daily"), QStringLiteral("18:00")); // mended: the next check sees it
    window.schedule().CheckAlarm();
    QCOMPARE(window.schedule().AlarmTime, QStringLiteral("18:00"));
    QCOMPARE(window.tip(), QStringLiteral("Clarivex 2000 Scheduler"));
}

void TestSchedulerWindow::scheduleScansOffSetsNoAlarm()
{
    TRegIniFile(QString::fromLatin1(kSettingsRoot))
        .WriteFlag(kSchedule, QStringLiteral("ScheduleScans"), false);
    TSchedulerWindow window;
    window.schedule().CheckAlarm();
    window.schedule().CheckAlarm();
    QCOMPARE(window.schedule().AlarmTime, QStringLiteral("NOT_YET_RUN"));
    QCOMPARE(window.tip(), QStringLiteral("Clarivex 2000 Scheduler"));
}

void TestSchedulerWindow::shutdownEndsTheProgram()
{
    TSchedulerWindow window;
    QSignalSpy quit(&window, &TSchedulerWindow::quitRequested);
    window.Command(cmShutdown);
    QCOMPARE(quit.count(), 1);
}

CLARIVEX_TEST_MAIN(TestSchedulerWindow)
#include "tst_scheduler_window.moc"
