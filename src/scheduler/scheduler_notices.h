#pragma once

// The Scheduler's messages: a message box with an OK button, captioned
// "Clarivex 2000 Scheduler". Where no one can see a window (the "offscreen"
// or "minimal" platform) a box would wait forever and stop the schedule, so
// the message goes to stderr as one line instead.

#include <QString>

namespace clarivex::scheduler {

enum class NoticeKind { Plain, Information };

void showNotice(const QString &text, NoticeKind kind = NoticeKind::Plain);

} // namespace clarivex::scheduler
