#include "core/schedule/scheduler_control.h"

#include "core/base/formats.h"
#include "core/platform/copy_data.h"

namespace clarivex {

namespace {

platform::CopyDataResult ask(const char *request, int timeoutMs)
{
    return platform::sendCopyDataText(QString::fromLatin1(platform::kSchedulerWindowClass),
                                      QByteArray(request), timeoutMs);
}

} // namespace

qint32 nextRunReply(const QDateTime &alarm)
{
    if (!alarm.isValid()) return 0;
    return qint32(std::clamp<qint64>(alarm.toSecsSinceEpoch() / 60, 1, INT32_MAX));
}

QDateTime nextRunOfReply(qint32 reply)
{
    if (reply <= 0) return {};
    return QDateTime::fromSecsSinceEpoch(qint64(reply) * 60).toLocalTime();
}

SchedulerStatus querySchedulerStatus(int timeoutMs)
{
    SchedulerStatus status;
    const platform::CopyDataResult state = ask(kSchedulerStateRequest, timeoutMs);
    if (!state.delivered()) return status;
    status.running = true;
    status.paused = state.reply == kSchedulerPaused;
    const platform::CopyDataResult next = ask(kSchedulerNextRunRequest, timeoutMs);
    if (next.delivered() && !status.paused) status.nextRun = nextRunOfReply(next.reply);
    return status;
}

bool askSchedulerToQuit(int timeoutMs)
{
    const platform::CopyDataResult result = ask(kSchedulerQuitRequest, timeoutMs);
    return result.delivered() && result.reply == 1;
}

QString schedulerStatusText(const SchedulerStatus &status)
{
    if (!status.running) return QStringLiteral("not running");
    if (status.paused) return QStringLiteral("running, paused");
    if (!status.nextRun.isValid()) return QStringLiteral("running, no scan planned");
    return QStringLiteral("running, next scan at %1").arg(formatDateTime(status.nextRun));
}

} // namespace clarivex
