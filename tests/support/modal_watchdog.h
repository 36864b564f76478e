#pragma once

// Closes a modal dialog that nobody answers. Every modal dialog of a test
// runs its own event loop, so a timer of the main thread still turns while it
// is open: when the same dialog has been open past the wait limit, the
// watchdog fails the running test with the dialog's kind, title and text, and
// rejects the dialog so that the test goes on to its next function instead of
// sitting until CTest kills it.

#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

namespace clarivex::test {

class ModalWatchdog : public QObject
{
public:
    ModalWatchdog();

    // What the watchdog would say of a dialog (tests read it).
    [[nodiscard]] static QString describe(const QWidget *dialog);

private:
    void check();

    QTimer m_timer;
    QPointer<QWidget> m_open;
    qint64 m_openedAt = 0;
};

} // namespace clarivex::test
