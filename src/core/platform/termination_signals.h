#pragma once

// SIGTERM, SIGINT and SIGHUP as an ordinary event of the program's event
// loop: a log-out, a kill or a closed terminal ends the program the way its
// own "Close" does (settings saved, sockets and lock files removed), instead
// of at once in the middle of anything.
//
// The handler only writes the signal's number to a pipe that a
// QSocketNotifier watches; `received` is emitted from the event loop. A
// second signal arriving before the first was acted on (a close stuck in a
// question, say) ends the program at once, as without this class.

#include <QObject>

class QSocketNotifier;

namespace clarivex::platform {

class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers; one object per process.
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // Whether the handlers are in place (a pipe could be made).
    [[nodiscard]] bool installed() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readPipe();
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace clarivex::platform
