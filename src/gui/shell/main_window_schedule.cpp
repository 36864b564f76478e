// The main window's side of the schedule: its own alarm while no Scheduler
// runs, the next-run computation from the schedule page, and the scheduled
// run with its two scan steps.

#include "gui/shell/main_window.h"

#include "core/schedule/schedule_clock.h"
#include "core/schedule/schedule_unit.h"
#include "gui/schedule/schedule_page.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/toolkit/busy_animation.h"

#include <QCheckBox>

namespace clarivex {

namespace {

// Puts the window back the way a scheduled run found it, on every way out of
// the run, an error included.
class ScheduledRunScope
{
public:
    ScheduledRunScope(bool &active, ui::BusyAnimation &animation)
        : m_active(active), m_animation(animation)
    {
        m_active = true;
        m_animation.setClip(ui::BusyAnimation::Clip::Schedule);
        m_animation.setActive(true);
    }
    ~ScheduledRunScope()
    {
        m_animation.setActive(false);
        m_animation.setClip(ui::BusyAnimation::Clip::FindFile);
        m_active = false;
    }
    ScheduledRunScope(const ScheduledRunScope &) = delete;
    ScheduledRunScope &operator=(const ScheduledRunScope &) = delete;

private:
    bool &m_active;
    ui::BusyAnimation &m_animation;
};

} // namespace

void TClarivexMainForm::wireSchedule()
{
    m_schedule = std::make_unique<ScheduleUnit>();
    m_schedule->ComputeNextRun = [this] { ComputeNextRun(); };
    m_schedule->AlarmDue = [this] { return CheckAlarmDue(); };
    connect(m_schedulePage, &TSchedulePage::nextRunNeeded, this,
            &TClarivexMainForm::ComputeNextRun);
}

void TClarivexMainForm::startAlarm()
{
    m_schedule->start();
}

void TClarivexMainForm::ComputeNextRun()
{
    // Nothing before the window's creation is over, nor with scheduling off.
    if (!m_windowCreated || !m_schedulePage->cbScheduleScans->isChecked()) return;
    const QDateTime now = scheduleNow();
    const NextRun next = computeNextRun(m_schedulePage->scheduleValues(), now);
    m_schedulePage->showNextRun(next, now);
    if (m_schedule->applyNextRun(next)) SendAlarmToScheduler(*m_schedule);
}

bool TClarivexMainForm::CheckAlarmDue()
{
    // While a Scheduler runs, its own check raises the event, and the run it
    // asks for computes the next alarm.
    if (!m_schedulePage->cbScheduleScans->isChecked() || SchedulerRunning()) return false;
    ScheduledRun();
    return true;
}

void TClarivexMainForm::ScheduledRun()
{
    // A scan in progress (the "Scan Files" drop-down disabled) drops the run;
    // so does a scheduled run already in progress, whose scans let messages in.
    if (scanInProgress() || ScheduledRunActive) return;
    ++m_scheduledRuns;
    // Every step's rows belong to this run: its automatic cleans take only
    // those, never what was on the list before it began.
    m_scheduledRun = FileListView->Model()->BeginRun(RunTrigger::Scheduled);
    const ScheduledRunScope scope(ScheduledRunActive, *Animate);
    if (m_schedulePage->cbScheduleTF->isChecked()) {
        TempScanStart(); // sets ScanKind once it clears the list
        scheduleTrace(
            QStringLiteral("scheduled run: temporary files: %1 files found").arg(FoundFileCount));
    }
    if (m_schedulePage->cbScheduleDirs->isChecked()) {
        if (ScheduledDirectoryScan) {
            ScheduledDirectoryScan();
            scheduleTrace(
                QStringLiteral("scheduled run: directories: %1 files found").arg(FoundFileCount));
        } else
            scheduleTrace(QStringLiteral("scheduled run: no directory scan in this build"));
    }
    ComputeNextRun();
}

} // namespace clarivex
