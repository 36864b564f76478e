// Both real programs under the test's home, on a clock the test moves through
// CLARIVEX_SCHEDULE_CLOCK, watched through their schedule trace on stderr.

#include "core/base/settings_types.h"
#include "core/platform/copy_data.h"
#include "core/shell/custom_registry.h"
#include "support/test_environment.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>

#include <csignal>
#include <memory>

using namespace clarivex;
using namespace clarivex::test;

namespace {

const QString kSchedule = QStringLiteral("Settings\\Schedule");
const QDate kFriday(2000, 3, 17);

// A program started by the test, its stdout and stderr kept as one text.
class Program
{
public:
    Program(const QString &path, const QStringList &args)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(path, args);
    }
    ~Program() { end(); }
    QProcess &process() { return m_process; }
    QByteArray output()
    {
        m_output += m_process.readAll();
        return m_output;
    }
    bool says(const QByteArray &text) { return output().contains(text); }
    void end()
    {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.terminate();
        (void)finishes(m_process, QStringLiteral("a program the test ended"));
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

void moveClockTo(const QDateTime &now)
{
    QFile file(testRoot() + QStringLiteral("/clock-shift"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray::number(QDateTime::currentDateTime().msecsTo(now)));
}

// A daily run at 18:00. Its scan step is the directory step: the
// temporary-file step would walk every mounted volume here (the drive list
// offers no smaller root to these programs), which takes far longer than a
// test may wait; the window's own test covers that step.
void storeDailySchedule(const QString &clarivexPath = QStringLiteral(CLARIVEX_GUI_PATH))
{
    TRegIniFile ini(QString::fromLatin1(kSettingsRoot));
    ini.WriteFlag(kSchedule, QStringLiteral("ScheduleScans"), true);
    ini.WriteFlag(kSchedule, QStringLiteral("ScheduleTemporaryFiles"), false);
    ini.WriteFlag(kSchedule, QStringLiteral("ScheduleDirectories"), true);
    ini.WriteNumber(kSchedule, QStringLiteral("Run"), 2);
    ini.WriteText(kSchedule, QStringLiteral("Daily"), QStringLiteral("18:00:00"));
    ini.WriteText(QString(), QStringLiteral("ClarivexPath"), clarivexPath);
}

// Gone, or a zombie nobody reaps (a container's first process may not).
bool processGone(pid_t pid)
{
    if (::kill(pid, 0) != 0) return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

bool mainProgramRuns()
{
    return platform::windowExists(QString::fromLatin1(platform::kMainWindowClass));
}

} // namespace

class TestSchedulerPrograms : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void aSecondSchedulerEndsWithItsMessage();
    void aDueAlarmReachesTheRunningMainProgram();
    void withoutAMainProgramTheSchedulerStartsIt();
    void aMissingMainProgramIsReportedAndTheScheduleGoesOn();
};

void TestSchedulerPrograms::initTestCase()
{
    qputenv("CLARIVEX_SCHEDULE_TRACE", "1");
    qputenv("CLARIVEX_SCHEDULE_CLOCK", QFile::encodeName(testRoot() + "/clock-shift"));
}

void TestSchedulerPrograms::init()
{
    moveClockTo(QDateTime(kFriday, QTime(12, 0, 0)));
}

void TestSchedulerPrograms::aSecondSchedulerEndsWithItsMessage()
{
    Program first(QStringLiteral(CLARIVEX_SCHEDULER_PATH), {});
    QTRY_VERIFY_WITH_TIMEOUT(first.says("schedule: ready"), waitLimitMs());

    Program second(QStringLiteral(CLARIVEX_SCHEDULER_PATH), {});
    QVERIFY(finishes(second.process(), QStringLiteral("the second Scheduler")));
    QCOMPARE(second.process().exitCode(), 0);
    QVERIFY2(second.says("Clarivex 2000 Scheduler is already running."), second.output());
    QCOMPARE(first.process().state(), QProcess::Running);
}

void TestSchedulerPrograms::aDueAlarmReachesTheRunningMainProgram()
{
    storeDailySchedule();
    Program scheduler(QStringLiteral(CLARIVEX_SCHEDULER_PATH), {});
    QTRY_VERIFY_WITH_TIMEOUT(scheduler.says("alarm 17-03-2000|18:00:00"), waitLimitMs());
    Program main(QStringLiteral(CLARIVEX_GUI_PATH), {QStringLiteral("/NOSPLASH")});
    // The main program's first check computes its alarm and hands it over.
    QTRY_VERIFY_WITH_TIMEOUT(scheduler.says("hand-over 17-03-2000|18:00:00"), waitLimitMs());

    moveClockTo(QDateTime(kFriday, QTime(17, 59, 59)));
    QTRY_VERIFY_WITH_TIMEOUT(scheduler.says("main program notified"), waitLimitMs());
    QVERIFY2(!scheduler.says("started "), scheduler.output());
    QTRY_VERIFY2_WITH_TIMEOUT(main.says("clarivex: schedule: scheduled run: "),
                              main.output().constData(), waitLimitMs());
    // After its run the main program hands tomorrow's alarm to the Scheduler.
    QVERIFY2(scheduler.says("hand-over 18-03-2000|18:00:00"), scheduler.output());
    QCOMPARE(scheduler.output().count("alarm due"), 1);
}

void TestSchedulerPrograms::withoutAMainProgramTheSchedulerStartsIt()
{
    storeDailySchedule();
    Program scheduler(QStringLiteral(CLARIVEX_SCHEDULER_PATH), {});
    QTRY_VERIFY_WITH_TIMEOUT(scheduler.says("alarm 17-03-2000|18:00:00"), waitLimitMs());
    QVERIFY(!mainProgramRuns());

    moveClockTo(QDateTime(kFriday, QTime(17, 59, 59)));
    const QRegularExpression started(
        QStringLiteral("started (\\S+) /TIME_TO_RUN_SCHEDULED_EVENT \\(process (\\d+)\\)"));
    QTRY_VERIFY_WITH_TIMEOUT(started.match(QString::fromUtf8(scheduler.output())).hasMatch(),
                             waitLimitMs());
    const QRegularExpressionMatch match = started.match(QString::fromUtf8(scheduler.output()));
    QCOMPARE(match.captured(1), QStringLiteral(CLARIVEX_GUI_PATH));
    const pid_t pid = pid_t(match.captured(2).toLongLong());
    const auto endMain = qScopeGuard([pid] {
        ::kill(pid, SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(pid), waitLimitMs());
    });
    // The main program it started runs its scan and hands back the next alarm.
    // (Its stderr is the Scheduler's.)
    QTRY_VERIFY_WITH_TIMEOUT(scheduler.says("clarivex: schedule: scheduled run: "), waitLimitMs());
    QTRY_VERIFY_WITH_TIMEOUT(scheduler.says("hand-over 18-03-2000|18:00:00"), waitLimitMs());
}

void TestSchedulerPrograms::aMissingMainProgramIsReportedAndTheScheduleGoesOn()
{
    storeDailySchedule(QString());
    Program scheduler(QStringLiteral(CLARIVEX_SCHEDULER_PATH), {});
    QTRY_VERIFY_WITH_TIMEOUT(scheduler.says("alarm 17-03-2000|18:00:00"), waitLimitMs());

    moveClockTo(QDateTime(kFriday, QTime(17, 59, 59)));
    QTRY_VERIFY_WITH_TIMEOUT(
        scheduler.says("Failed to open Clarivex 2000. Please contact the author."), waitLimitMs());
    QTRY_VERIFY_WITH_TIMEOUT(scheduler.says("alarm 18-03-2000|18:00:00"), waitLimitMs());
    QCOMPARE(scheduler.process().state(), QProcess::Running);
    QCOMPARE(scheduler.output().count("Failed to open"), 1);
}

CLARIVEX_TEST_MAIN_CORE(TestSchedulerPrograms)
#include "tst_scheduler_programs.moc"
