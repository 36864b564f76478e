#include "support/modal_watchdog.h"

#include "support/wait_limits.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QMessageBox>
#include <QtTest>

namespace clarivex::test {

int waitLimitMs()
{
    bool ok = false;
    const int configured = qEnvironmentVariableIntValue("CLARIVEX_TEST_WAIT_MS", &ok);
    return ok && configured > 0 ? configured : 10000;
}

void failWaitingFor(const QString &what, int waitedMs)
{
    const QString message =
        QStringLiteral("still waiting after %1 ms for %2").arg(waitedMs).arg(what);
    QTest::qFail(qPrintable(message), __FILE__, __LINE__);
}

bool finishes(QProcess &process, const QString &what, int limitMs)
{
    if (process.waitForFinished(limitMs)) return true;
    if (process.state() == QProcess::NotRunning) return true;
    process.kill();
    process.waitForFinished(1000);
    qWarning("still waiting after %d ms for %s to end; killed it", limitMs, qPrintable(what));
    return false;
}

ModalWatchdog::ModalWatchdog()
{
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &ModalWatchdog::check);
    m_timer.start();
}

QString ModalWatchdog::describe(const QWidget *dialog)
{
    QString text =
        QStringLiteral("the %1 \"%2\"")
            .arg(QString::fromLatin1(dialog->metaObject()->className()), dialog->windowTitle());
    if (const auto *box = qobject_cast<const QMessageBox *>(dialog))
        text += QStringLiteral(" saying \"%1\"").arg(box->text());
    return text + QStringLiteral(" to close");
}

void ModalWatchdog::check()
{
    QWidget *modal = QApplication::activeModalWidget();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (modal != m_open) {
        m_open = modal;
        m_openedAt = now;
        return;
    }
    if (!modal || now - m_openedAt < waitLimitMs()) return;
    failWaitingFor(describe(modal), int(now - m_openedAt));
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
    else
        modal->close();
    m_open = nullptr;
}

} // namespace clarivex::test
