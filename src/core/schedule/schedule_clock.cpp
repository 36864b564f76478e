#include "core/schedule/schedule_clock.h"

#include <QFile>

namespace clarivex {

namespace {

ScheduleClock &installedClock()
{
    static ScheduleClock clock;
    return clock;
}

qint64 shiftFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    bool ok = false;
    const qint64 shift = file.read(64).trimmed().toLongLong(&ok);
    return ok ? shift : 0;
}

} // namespace

QDateTime scheduleNow()
{
    if (const ScheduleClock &clock = installedClock()) return clock();
    static const QString shiftFile = qEnvironmentVariable("CLARIVEX_SCHEDULE_CLOCK");
    const QDateTime now = QDateTime::currentDateTime();
    return shiftFile.isEmpty() ? now : now.addMSecs(shiftFromFile(shiftFile));
}

void setScheduleClock(ScheduleClock clock)
{
    installedClock() = std::move(clock);
}

} // namespace clarivex
