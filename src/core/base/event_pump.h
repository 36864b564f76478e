#pragma once

// The pump of a long loop on the window's thread. It is called very often and
// costs nothing most of the time: at most every `intervalMs` it runs
// `beforeEvents` (which shows the latest progress) and processes pending
// events, so the window paints and its buttons answer.

#include <functional>

namespace clarivex::ui {

[[nodiscard]] std::function<void()> throttledPump(std::function<void()> beforeEvents = {},
                                                  int intervalMs = 15);

} // namespace clarivex::ui
