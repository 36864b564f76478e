#include "core/schedule/schedule_unit.h"

#include "core/base/formats.h"
#include "core/platform/copy_data.h"
#include "core/schedule/alarm_thread.h"
#include "core/schedule/schedule_clock.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace clarivex {

ScheduleUnit::ScheduleUnit(QObject *parent) : QObject(parent) {}

ScheduleUnit::~ScheduleUnit()
{
    stop();
}

void ScheduleUnit::SetAlarm(const QString &timeText, const QDate &date)
{
    AlarmDate = date;
    AlarmTime = timeText;
    m_fired = false;
    ++m_serial;
    scheduleTrace(
        QStringLiteral("alarm %1").arg(QString::fromUtf8(alarmHandOverText(date, timeText))));
    emit alarmChanged();
}

bool ScheduleUnit::applyNextRun(const NextRun &next)
{
    if (!next.valid()) {
        // No alarm: the next check computes again, and picks up a mended value.
        AlarmTime = QString::fromLatin1(kNotYetRun);
        m_fired = false;
        setProblem(next.problem);
        return false;
    }
    setProblem(QString());
    SetAlarm(next.timeText, next.date);
    return true;
}

void ScheduleUnit::setProblem(const QString &problem)
{
    if (problem == m_problem) return;
    m_problem = problem;
    if (!problem.isEmpty()) scheduleTrace(QStringLiteral("no alarm: ") + problem);
    emit problemChanged(problem);
}

bool ScheduleUnit::hasAlarm() const
{
    return alarmMoment().isValid();
}

QDateTime ScheduleUnit::alarmMoment() const
{
    if (AlarmTime == QLatin1String(kNotYetRun)) return {};
    return clarivex::alarmMoment(AlarmDate, AlarmTime);
}

bool ScheduleUnit::isDue(const QDateTime &now) const
{
    const QDateTime moment = alarmMoment();
    return !m_fired && moment.isValid() && now >= moment;
}

void ScheduleUnit::CheckAlarm()
{
    if (m_checking) return; // a check never runs inside another one
    m_checking = true;
    if (AlarmTime == QLatin1String(kNotYetRun)) {
        if (ComputeNextRun) ComputeNextRun();
    } else if (isDue(scheduleNow())) {
        m_fired = true;
        const quint64 fired = m_serial;
        scheduleTrace(QStringLiteral("alarm due"));
        const bool acted = AlarmDue && AlarmDue();
        if (acted && m_serial == fired && ComputeNextRun) ComputeNextRun();
    }
    m_checking = false;
}

void ScheduleUnit::start(int intervalMs)
{
    if (m_thread && m_thread->isRunning()) return;
    m_thread = std::make_unique<TAlarmThread>(
        this, [this] { CheckAlarm(); }, intervalMs);
    m_thread->start(QThread::NormalPriority);
}

void ScheduleUnit::stop()
{
    if (m_thread) m_thread->stop();
}

bool SchedulerRunning()
{
    return platform::windowExists(QString::fromLatin1(platform::kSchedulerWindowClass));
}

QByteArray alarmHandOverText(const QDate &date, const QString &timeText)
{
    return (formatShortDate(date) + QLatin1Char('|') + timeText).toUtf8();
}

std::optional<AlarmHandOver> parseAlarmHandOver(const QByteArray &text)
{
    const qsizetype bar = text.indexOf('|');
    if (bar < 0) return std::nullopt;
    const std::optional<QDate> date = parseShortDate(QString::fromUtf8(text.left(bar)));
    const QString time = QString::fromUtf8(text.mid(bar + 1));
    if (!date || !clarivex::alarmMoment(*date, time).isValid()) return std::nullopt;
    return AlarmHandOver{*date, time};
}

bool SendAlarmToScheduler(const ScheduleUnit &unit)
{
    if (!SchedulerRunning()) return false;
    const platform::CopyDataResult result =
        platform::sendCopyDataText(QString::fromLatin1(platform::kSchedulerWindowClass),
                                   alarmHandOverText(unit.AlarmDate, unit.AlarmTime), 10000);
    return result.delivered();
}

void scheduleTrace(const QString &line)
{
    static const bool on = !qEnvironmentVariableIsEmpty("CLARIVEX_SCHEDULE_TRACE");
    if (!on) return;
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    std::fprintf(stderr, "%s: schedule: %s\n", qPrintable(program), qPrintable(line));
    std::fflush(stderr);
}

} // namespace clarivex
