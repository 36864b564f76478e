#include "scheduler/scheduler_tray.h"

#include "scheduler/scheduler_texts.h"
#include "scheduler/scheduler_window.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace clarivex::scheduler {

SchedulerTray::SchedulerTray(TSchedulerWindow &window, QObject *parent)
    : QObject(parent), m_window(window)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    m_menu = new QMenu;
    connect(m_menu, &QMenu::aboutToShow, this, [this] { fillMenu(*m_menu); });
    m_icon = new QSystemTrayIcon(readyIcon(), this);
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick) m_window.Command(cmOpen);
            });
    connect(&m_window, &TSchedulerWindow::stateChanged, this, &SchedulerTray::showState);
    showState();
    m_icon->show();
}

SchedulerTray::~SchedulerTray()
{
    if (m_icon) m_icon->hide(); // the icon leaves the notification area with the program
    delete m_menu;
}

void SchedulerTray::fillMenu(QMenu &menu)
{
    menu.clear();
    const auto add = [&](const char *text, int command) {
        menu.addAction(QString::fromLatin1(text), this, [this, command] {
            // Chosen from the menu: run once the menu has closed.
            QMetaObject::invokeMethod(
                &m_window, [this, command] { m_window.Command(command); }, Qt::QueuedConnection);
        });
    };
    add(kMenuOpen, cmOpen);
    add(m_window.SchedulerEnabled ? kMenuDisable : kMenuEnable, cmToggle);
    add(kMenuAbout, cmAbout);
    menu.addSeparator();
    add(kMenuShutdown, cmShutdown);
}

void SchedulerTray::showState()
{
    if (!m_icon) return;
    m_icon->setIcon(m_window.SchedulerEnabled ? readyIcon() : pausedIcon());
    m_icon->setToolTip(m_window.tip());
}

// The installed icon theme's copy first, so that a theme may restyle it and a
// notification area that draws by name finds it; the built-in one otherwise.
QIcon SchedulerTray::readyIcon()
{
    return QIcon::fromTheme(QStringLiteral("io.github.clarivex.Clarivex.Scheduler-ready"),
                            QIcon(QStringLiteral(":/scheduler/ready.svg")));
}

QIcon SchedulerTray::pausedIcon()
{
    return QIcon::fromTheme(QStringLiteral("io.github.clarivex.Clarivex.Scheduler-paused"),
                            QIcon(QStringLiteral(":/scheduler/paused.svg")));
}

} // namespace clarivex::scheduler
