// The main window in the tray: the tray icon and its menu, hiding and
// showing the window, and the Scheduler started when the window closes.
#include "gui/shell/main_window.h"

#include "core/platform/copy_data.h"
#include "gui/schedule/schedule_page.h"
#include "gui/shell/options_page.h"
#include "gui/toolkit/artwork.h"
#include "gui/toolkit/banner_menu.h"
#include "gui/toolkit/notice_service.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QProcess>
#include <QSystemTrayIcon>

namespace clarivex {

void TClarivexMainForm::buildTray()
{
    m_trayMenu = new ui::BannerMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("TrayMenu"));
    m_trayMenu->addAction(QStringLiteral("&Show..."), this, &TClarivexMainForm::showFromTray);
    m_trayMenu->addSection(QStringLiteral("Scan"));
    QMenu *scanFor = m_trayMenu->addMenu(QStringLiteral("&Scan For"));
    const std::pair<const char *, TScanKind> scans[] = {
        {"&Temporary Files", skTempFiles},
        {"&Duplicate Files", skDuplicates},
        {"&Files on Directories", skDirectories},
        {"Dead &Shortcuts", skDeadShortcuts},
    };
    for (const auto &[caption, kind] : scans) {
        scanFor->addAction(QString::fromLatin1(caption), this,
                           [this, kind = kind] { emit scanRequested(kind); });
    }
    m_trayMenu
        ->addAction(QStringLiteral("&Undo Last Clean"), this, &TClarivexMainForm::UndoLastClean)
        ->setObjectName(QStringLiteral("TrayUndoLastClean"));
    m_trayMenu->addSection(QStringLiteral("About"));
    m_trayMenu->addAction(QStringLiteral("About Clarivex 2000..."), this,
                          &TClarivexMainForm::ShowAbout);
    m_trayMenu->addSection(QStringLiteral("Exit this application"));
    m_trayMenu->addAction(QStringLiteral("&Close"), this, &QWidget::close);

    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return; // no tray on this desktop: the window stays the way in
    PGTrayIcon95 = new QSystemTrayIcon(ui::artwork(QStringLiteral("clarivex")), this);
    PGTrayIcon95->setObjectName(QStringLiteral("PGTrayIcon95"));
    PGTrayIcon95->setToolTip(QStringLiteral("Clarivex 2000"));
    PGTrayIcon95->setContextMenu(m_trayMenu);
    connect(PGTrayIcon95, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick) showFromTray();
            });
    PGTrayIcon95->show();
}

QMenu *TClarivexMainForm::trayMenu() const
{
    return m_trayMenu;
}

void TClarivexMainForm::btnHideClick()
{
    // Without a tray icon a hidden window could not be found again: minimise
    // it instead, and say so the first time.
    if (PGTrayIcon95) {
        hide();
        return;
    }
    if (!m_toldNoTray) {
        m_toldNoTray = true;
        ui::notices().information(
            this, QStringLiteral("Clarivex 2000"),
            QStringLiteral("This desktop has no notification area, so Clarivex 2000 cannot hide "
                           "in the tray. The window is minimised instead."));
    }
    showMinimized();
}

void TClarivexMainForm::showFromTray()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void TClarivexMainForm::changeEvent(QEvent *event)
{
    // Minimising leaves only the tray icon.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && PGTrayIcon95) hide();
    QMainWindow::changeEvent(event);
}

QString TClarivexMainForm::schedulerProgram() const
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/clarivex-scheduler");
}

void TClarivexMainForm::offerSchedulerOnClose()
{
    if (!m_schedulePage->cbScheduleScans->isChecked() ||
        m_optionsPage->cbAutoLoadScheduler->isChecked() ||
        platform::windowExists(QString::fromLatin1(platform::kSchedulerWindowClass)))
        return;
    // Yes turns the option on; startSchedulerOnClose() then starts it.
    if (ui::notices().confirm(
            this, QStringLiteral("Clarivex 2000"),
            QStringLiteral("Scans are scheduled, but no Scheduler is running: no scheduled scan "
                           "will run until Clarivex 2000 is opened again.\n\nStart the "
                           "Clarivex 2000 Scheduler now, and each time Clarivex 2000 closes?")))
        m_optionsPage->cbAutoLoadScheduler->setChecked(true);
}

void TClarivexMainForm::startSchedulerOnClose()
{
    if (!m_optionsPage->cbAutoLoadScheduler->isChecked() ||
        platform::windowExists(QString::fromLatin1(platform::kSchedulerWindowClass)))
        return;
    if (!QProcess::startDetached(schedulerProgram(), {}))
        ui::notices().information(
            nullptr, QStringLiteral("Clarivex 2000 Scheduler"),
            QStringLiteral("Failed to open Clarivex 2000 Scheduler. Please contact the author."));
}

} // namespace clarivex
