// The Scheduler seen and stopped from outside: its command line (--help,
// --status, --quit over its socket), its word about a desktop without a
// notification area, and the Schedule Options page's line with Start and Stop.

#include "core/base/settings_types.h"
#include "core/platform/copy_data.h"
#include "core/shell/custom_registry.h"
#include "gui/schedule/schedule_page.h"
#include "gui/schedule/scheduler_state_panel.h"
#include "support/test_environment.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>

using namespace clarivex;
using namespace clarivex::test;

namespace {

const QString kScheduler = QStringLiteral(CLARIVEX_SCHEDULER_PATH);

// A program started by the test, its stdout and stderr kept as one text.
class Program
{
public:
    explicit Program(const QStringList &args)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(kScheduler, args);
    }
    ~Program() { end(); }
    QProcess &process() { return m_process; }
    QByteArray output()
    {
        m_output += m_process.readAll();
        return m_output;
    }
    bool says(const QByteArray &text) { return output().contains(text); }
    // Runs to its end; false when it did not end in time.
    bool finished() { return finishes(m_process, QStringLiteral("clarivex-scheduler")); }
    void end()
    {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.terminate();
        (void)finishes(m_process, QStringLiteral("a Scheduler the test ended"));
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

bool schedulerRuns()
{
    return platform::windowExists(QString::fromLatin1(platform::kSchedulerWindowClass));
}

} // namespace

class TestSchedulerControl : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void helpPrintsAndStartsNothing_data();
    void helpPrintsAndStartsNothing();
    void statusAndQuitReachTheRunningScheduler();
    void schedulePageStartsAndStopsTheScheduler();
};

void TestSchedulerControl::initTestCase()
{
    qputenv("CLARIVEX_SCHEDULE_TRACE", "1");
    // A daily run at 18:00, so that a running Scheduler has an alarm to tell.
    TRegIniFile ini(QString::fromLatin1(kSettingsRoot));
    const QString schedule = QStringLiteral("Settings\\Schedule");
    ini.WriteFlag(schedule, QStringLiteral("ScheduleScans"), true);
    ini.WriteNumber(schedule, QStringLiteral("Run"), 2);
    ini.WriteText(schedule, QStringLiteral("Daily"), QStringLiteral("18:00:00"));
}

void TestSchedulerControl::cleanup()
{
    // No Scheduler outlives its test function.
    if (schedulerRuns()) {
        Program quit({QStringLiteral("--quit")});
        QVERIFY(quit.finished());
        QTRY_VERIFY_WITH_TIMEOUT(!schedulerRuns(), waitLimitMs());
    }
}

void TestSchedulerControl::helpPrintsAndStartsNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "--status";
    QTest::newRow("-h") << QStringList{"-h"} << 0 << "--quit";
    QTest::newRow("an unknown option")
        << QStringList{"--frobnicate"} << 2 << "unknown argument '--frobnicate'";
    QTest::newRow("--status, none running") << QStringList{"--status"} << 1 << "not running";
    QTest::newRow("--quit, none running") << QStringList{"--quit"} << 1 << "not running";
}

void TestSchedulerControl::helpPrintsAndStartsNothing()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    Program program(args);
    QVERIFY(program.finished());
    QCOMPARE(program.process().exitCode(), exitCode);
    QVERIFY2(program.says(says.toUtf8()), program.output().constData());
    QVERIFY(!schedulerRuns());
}

void TestSchedulerControl::statusAndQuitReachTheRunningScheduler()
{
    Program scheduler({});
    QTRY_VERIFY_WITH_TIMEOUT(scheduler.says("schedule: ready"), waitLimitMs());
    QTRY_VERIFY_WITH_TIMEOUT(scheduler.says("schedule: alarm "), waitLimitMs());
    // Offscreen there is no notification area: said once, on stderr.
    QTRY_VERIFY_WITH_TIMEOUT(scheduler.says("no notification area"), waitLimitMs());
    QCOMPARE(scheduler.output().count("no notification area"), 1);

    Program status({QStringLiteral("--status")});
    QVERIFY(status.finished());
    QCOMPARE(status.process().exitCode(), 0);
    QVERIFY2(status.says("running, next scan at ") && status.says(" 18:00:00"),
             status.output().constData());

    Program quit({QStringLiteral("--quit")});
    QVERIFY(quit.finished());
    QCOMPARE(quit.process().exitCode(), 0);
    QVERIFY(scheduler.finished());
    QCOMPARE(scheduler.process().exitCode(), 0);
    QVERIFY(!schedulerRuns());
}

void TestSchedulerControl::schedulePageStartsAndStopsTheScheduler()
{
    TSchedulePage page;
    ScheduleSettings settings;
    settings.ScheduleScans = true;
    page.loadSettings(settings);
    SchedulerStatePanel &panel = *page.schedulerPanel;
    panel.schedulerProgram = kScheduler;
    page.show();
    QTRY_VERIFY_WITH_TIMEOUT(panel.isVisible(), waitLimitMs());
    QCOMPARE(panel.lblSchedulerState->text(),
             QStringLiteral("The Scheduler is not running: no scheduled scan runs while "
                            "Clarivex 2000 is closed."));
    QVERIFY(panel.btnStartScheduler->isVisible() && !panel.btnStopScheduler->isVisible());

    panel.btnStartScheduler->click();
    QTRY_VERIFY_WITH_TIMEOUT(panel.status().running, waitLimitMs());
    QTRY_VERIFY_WITH_TIMEOUT(
        panel.lblSchedulerState->text().startsWith("The Scheduler is running. Next scan at: "),
        waitLimitMs());
    QVERIFY(panel.btnStopScheduler->isVisible() && !panel.btnStartScheduler->isVisible());

    panel.btnStopScheduler->click();
    QTRY_VERIFY_WITH_TIMEOUT(!schedulerRuns(), waitLimitMs());
    QTRY_VERIFY_WITH_TIMEOUT(!panel.status().running, waitLimitMs());
    QVERIFY(panel.btnStartScheduler->isVisible());

    // With scheduling off, a missing Scheduler is no news.
    page.cbScheduleScans->click();
    QCOMPARE(panel.lblSchedulerState->text(), QStringLiteral("The Scheduler is not running."));
}

CLARIVEX_TEST_MAIN(TestSchedulerControl)
#include "tst_scheduler_control.moc"
