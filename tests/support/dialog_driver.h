#pragma once

// Drives a real modal dialog from a test: acts on the next dialog of the
// given kind as soon as it is open. A dialog that does not open within the
// wait limit fails the test by name; one that stays open after the act is
// closed by the ModalWatchdog every test program runs.
//
//   whenOpen<QMessageBox>("the clean question", [](QMessageBox *box) { ... });
//   code that opens the dialog

#include "support/wait_limits.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace clarivex::test {

template <typename Dialog> void whenOpen(const QString &what, std::function<void(Dialog *)> act)
{
    auto *poll = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    const QByteArray function = QTest::currentTestFunction();
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, clock, function, what, act] {
        if (function != QTest::currentTestFunction()) {
            // The test that asked has ended; its dialog never came.
            poll->stop();
            poll->deleteLater();
        } else if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(dialog);
        } else if (clock->elapsed() > waitLimitMs()) {
            poll->stop();
            poll->deleteLater();
            failWaitingFor(what + QStringLiteral(" to open"), int(clock->elapsed()));
        }
    });
    poll->start();
}

} // namespace clarivex::test
