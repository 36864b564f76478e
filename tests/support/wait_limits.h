#pragma once

// How long a test may wait for anything outside its own code: a dialog to
// open or close, an event loop to see a condition, a child process to end.
// One honest wait takes well under a second; the limit leaves room for a
// loaded machine and a sanitizer build, and still fails a stuck test long
// before CTest's own timeout.

#include <QProcess>
#include <QString>

namespace clarivex::test {

// Ten seconds, or CLARIVEX_TEST_WAIT_MS when set.
[[nodiscard]] int waitLimitMs();

// Records a failure of the running test function that names what it waited
// for, e.g. "the file dialog \"Open\" to close".
void failWaitingFor(const QString &what, int waitedMs);

// Waits for a child process to end, at most `limitMs`. One that is still
// running then is killed, and the failure names `what`.
[[nodiscard]] bool finishes(QProcess &process, const QString &what, int limitMs = waitLimitMs());

} // namespace clarivex::test
