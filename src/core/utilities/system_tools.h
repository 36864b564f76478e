#pragma once

// The system utilities the "System Tools" page starts. Each button stands for
// one of the classic maintenance programs; on Linux the desktop's nearest
// equivalent is started, the first of its candidates found on PATH.

#include <QString>
#include <QStringList>

namespace clarivex {

struct SystemTool
{
    int tag = 0;          // 10, 11, 12
    QString caption;      // the button's caption
    QStringList programs; // candidates, best first
    QString messageNT;    // shown on an NT-family system when it cannot be started
    QString message;      // shown otherwise
};

[[nodiscard]] const QList<SystemTool> &systemTools();
// The tool of a button tag; nullptr outside 10 to 12.
[[nodiscard]] const SystemTool *systemToolForTag(int tag);
// The first candidate of the tag found on PATH; empty when none is.
[[nodiscard]] QString programPathForTag(int tag);
// Starts the program detached, without arguments; false when it cannot be started.
[[nodiscard]] bool RunProgram(const QString &path);
// Never on Linux: the messages for other systems apply.
[[nodiscard]] constexpr bool IsWindowsNT()
{
    return false;
}
// The message for a tool that did not start.
[[nodiscard]] QString failureMessageForTag(int tag, bool windowsNT);

} // namespace clarivex
