#pragma once

// The Scheduler's icon in the notification area: the clock in colour while
// ready, greyed with a pause mark while paused; the tip of its state; a double
// click opens the main program; the right button opens the menu, built anew
// each time: Open, Disable or Enable, About, a separator, Shutdown.
// On a desktop without a notification area there is no icon; the Scheduler
// keeps the schedule all the same.

#include <QIcon>
#include <QObject>

class QMenu;
class QSystemTrayIcon;

namespace clarivex::scheduler {

class TSchedulerWindow;

class SchedulerTray : public QObject
{
    Q_OBJECT
public:
    explicit SchedulerTray(TSchedulerWindow &window, QObject *parent = nullptr);
    ~SchedulerTray() override;

    bool hasIcon() const { return m_icon != nullptr; }
    // Fills a menu with the commands of the current state.
    void fillMenu(QMenu &menu);

    static QIcon readyIcon();
    static QIcon pausedIcon();

private:
    void showState();

    TSchedulerWindow &m_window;
    QSystemTrayIcon *m_icon = nullptr;
    QMenu *m_menu = nullptr;
};

} // namespace clarivex::scheduler
