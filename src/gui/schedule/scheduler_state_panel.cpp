#include "gui/schedule/scheduler_state_panel.h"

#include "core/base/formats.h"
#include "gui/toolkit/notice_service.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>

namespace clarivex {

namespace {
constexpr int kPollMs = 3000;  // while the page is visible
constexpr int kFollowMs = 200; // after a start or a stop
constexpr int kFollowLimitMs = 5000;
} // namespace

QString schedulerStateLine(const SchedulerStatus &status, bool scansScheduled)
{
    if (!status.running)
        return scansScheduled
                   ? QStringLiteral("The Scheduler is not running: no scheduled scan runs while "
                                    "Clarivex 2000 is closed.")
                   : QStringLiteral("The Scheduler is not running.");
    if (status.paused)
        return QStringLiteral("The Scheduler is running, but paused: it starts no scan.");
    if (!status.nextRun.isValid())
        return QStringLiteral("The Scheduler is running; no scan is planned.");
    return QStringLiteral("The Scheduler is running. Next scan at: %1")
        .arg(formatDateTime(status.nextRun));
}

SchedulerStatePanel::SchedulerStatePanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pnlSchedulerState"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 0);
    lblSchedulerState = new QLabel(this);
    lblSchedulerState->setObjectName(QStringLiteral("lblSchedulerState"));
    lblSchedulerState->setWordWrap(true);
    lblSchedulerState->setTextFormat(Qt::PlainText);
    btnStartScheduler = new QPushButton(QStringLiteral("S&tart Scheduler"), this);
    btnStartScheduler->setObjectName(QStringLiteral("btnStartScheduler"));
    btnStopScheduler = new QPushButton(QStringLiteral("St&op Scheduler"), this);
    btnStopScheduler->setObjectName(QStringLiteral("btnStopScheduler"));
    layout->addWidget(lblSchedulerState, 1);
    layout->addWidget(btnStartScheduler);
    layout->addWidget(btnStopScheduler);
    connect(btnStartScheduler, &QPushButton::clicked, this, [this] { (void)startScheduler(); });
    connect(btnStopScheduler, &QPushButton::clicked, this, &SchedulerStatePanel::stopScheduler);
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        refresh();
        if (m_following.isValid() &&
            (m_status.running == m_waitFor || m_following.elapsed() > kFollowLimitMs)) {
            m_following.invalidate();
            if (m_waitFor && m_status.running && started) {
                started();
                refresh();
            }
            m_poll.setInterval(kPollMs);
            if (!isVisible()) m_poll.stop();
        }
    });
    showStatus(m_status);
}

void SchedulerStatePanel::refresh()
{
    if (m_asking) return;
    m_asking = true;
    const SchedulerStatus status = querySchedulerStatus();
    m_asking = false;
    showStatus(status);
}

void SchedulerStatePanel::showStatus(const SchedulerStatus &status)
{
    m_status = status;
    lblSchedulerState->setText(schedulerStateLine(status, !scansScheduled || scansScheduled()));
    btnStartScheduler->setVisible(!status.running);
    btnStopScheduler->setVisible(status.running);
}

bool SchedulerStatePanel::startScheduler()
{
    if (querySchedulerStatus().running) {
        refresh();
        return true;
    }
    if (beforeStart) beforeStart();
    if (schedulerProgram.isEmpty() || !QProcess::startDetached(schedulerProgram, {})) {
        ui::notices().information(
            this, QStringLiteral("Clarivex 2000 Scheduler"),
            QStringLiteral("Failed to open Clarivex 2000 Scheduler. Please contact the author."));
        return false;
    }
    lblSchedulerState->setText(QStringLiteral("Starting the Scheduler..."));
    btnStartScheduler->setVisible(false);
    follow(true);
    return true;
}

void SchedulerStatePanel::stopScheduler()
{
    (void)askSchedulerToQuit();
    follow(false);
    refresh();
}

void SchedulerStatePanel::follow(bool running)
{
    m_waitFor = running;
    m_following.start();
    m_poll.setInterval(kFollowMs);
    m_poll.start();
}

void SchedulerStatePanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
    m_poll.start();
}

void SchedulerStatePanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!m_following.isValid()) m_poll.stop();
}

} // namespace clarivex
