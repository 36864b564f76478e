#include "core/base/event_pump.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <memory>

namespace clarivex::ui {

std::function<void()> throttledPump(std::function<void()> beforeEvents, int intervalMs)
{
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    return [clock, beforeEvents = std::move(beforeEvents), intervalMs] {
        if (clock->elapsed() < intervalMs) return;
        clock->restart();
        if (beforeEvents) beforeEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
}

} // namespace clarivex::ui
