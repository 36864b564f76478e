#include "scheduler/scheduler_window.h"

#include "core/platform/copy_data.h"
#include "core/schedule/schedule_clock.h"
#include "core/schedule/scheduler_control.h"
#include "core/schedule/stored_schedule.h"
#include "core/shell/command_line.h"
#include "scheduler/scheduler_notices.h"
#include "scheduler/scheduler_texts.h"

#include <QDir>
#include <QProcess>

namespace clarivex::scheduler {

TSchedulerWindow::TSchedulerWindow(QObject *parent)
    : QObject(parent), m_stateTip(QString::fromLatin1(kTitle))
{
    m_schedule.ComputeNextRun = [this] { ComputeNextRun(); };
    m_schedule.AlarmDue = [this] { return CheckAlarmDue(); };
    connect(&m_schedule, &ScheduleUnit::problemChanged, this, &TSchedulerWindow::stateChanged);
}

TSchedulerWindow::~TSchedulerWindow()
{
    m_schedule.stop();
}

bool TSchedulerWindow::create()
{
    m_server = new platform::CopyDataServer(this);
    m_server->setHandler([this](const QByteArray &text) { return WMCopyData(text); });
    if (m_server->listen(QString::fromLatin1(platform::kSchedulerWindowClass))) return true;
    m_error = m_server->errorString();
    return false;
}

QString TSchedulerWindow::tip() const
{
    if (m_schedule.problem().isEmpty() || !SchedulerEnabled) return m_stateTip;
    return m_stateTip + QLatin1Char('\n') + QString::fromLatin1(kNoScanPlanned) +
           m_schedule.problem();
}

qint32 TSchedulerWindow::WMCopyData(const QByteArray &text)
{
    if (text == kSchedulerStateRequest)
        return SchedulerEnabled ? kSchedulerReady : kSchedulerPaused;
    if (text == kSchedulerNextRunRequest) return nextRunReply(m_schedule.alarmMoment());
    if (text == kSchedulerQuitRequest) {
        scheduleTrace(QStringLiteral("asked to end"));
        emit quitRequested(); // queued: the answer goes out first
        return 1;
    }
    // Taken also while paused; a text that names no alarm changes nothing.
    if (const std::optional<AlarmHandOver> alarm = parseAlarmHandOver(text)) {
        scheduleTrace(QStringLiteral("hand-over %1").arg(QString::fromUtf8(text)));
        m_schedule.SetAlarm(alarm->timeText, alarm->date);
    } else {
        scheduleTrace(QStringLiteral("hand-over refused: %1").arg(QString::fromUtf8(text)));
    }
    return 0;
}

void TSchedulerWindow::Command(int id)
{
    switch (id) {
    case cmAbout:
        showNotice(QString::fromLatin1(kAboutText) + QLatin1Char('\n') +
                   QString::fromLatin1(kUpdatesText) + QString::fromLatin1(kWebAddress));
        break;
    case cmOpen:
        LaunchMainProgram(false);
        break;
    case cmToggle:
        SchedulerEnabled = !SchedulerEnabled;
        m_stateTip = QString::fromLatin1(SchedulerEnabled ? kTipReady : kTipPaused);
        if (SchedulerEnabled) ComputeNextRun();
        emit stateChanged();
        break;
    case cmShutdown:
        emit quitRequested();
        break;
    default:
        break;
    }
}

void TSchedulerWindow::ComputeNextRun()
{
    const QDateTime now = scheduleNow();
    const StoredSchedule stored = readStoredSchedule(now.date());
    if (!stored.problem.isEmpty()) {
        NextRun none;
        none.problem = stored.problem;
        m_schedule.applyNextRun(none);
        return;
    }
    if (!stored.ScheduleScans || !SchedulerEnabled) return;
    m_schedule.applyNextRun(computeNextRun(stored.values, now));
}

bool TSchedulerWindow::CheckAlarmDue()
{
    const StoredSchedule stored = readStoredSchedule(scheduleNow().date());
    if (!stored.ScheduleScans || !SchedulerEnabled) return false;
    LaunchMainProgram(true);
    return true;
}

bool TSchedulerWindow::NotifyMainProgram()
{
    const QString mainWindow = QString::fromLatin1(platform::kMainWindowClass);
    if (!platform::windowExists(mainWindow)) return false;
    // The answer comes when the whole scheduled run is over.
    const platform::CopyDataResult result =
        platform::sendCopyDataText(mainWindow, QByteArray(kScheduledEventSwitch));
    scheduleTrace(result.delivered() ? QStringLiteral("main program notified")
                                     : QStringLiteral("main program not reached: ") + result.error);
    return result.delivered();
}

void TSchedulerWindow::LaunchMainProgram(bool withEvent)
{
    if (withEvent && NotifyMainProgram()) return; // the main program hands back the next alarm
    QStringList parameters;
    if (withEvent) parameters << QString::fromLatin1(kScheduledEventSwitch);
    const QString path = readClarivexPath();
    qint64 pid = 0;
    const bool started =
        !path.isEmpty() && QProcess::startDetached(path, parameters, QDir::homePath(), &pid);
    if (started)
        scheduleTrace(QStringLiteral("started %1 %2 (process %3)")
                          .arg(path, parameters.join(QLatin1Char(' ')))
                          .arg(pid));
    else
        showNotice(QString::fromLatin1(kFailedToOpen), NoticeKind::Information);
    ComputeNextRun();
}

} // namespace clarivex::scheduler
