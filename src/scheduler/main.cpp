// clarivex-scheduler: keeps the schedule while the main program is closed.

#include "core/platform/copy_data.h"
#include "core/platform/display.h"
#include "core/platform/termination_signals.h"
#include "core/schedule/schedule_unit.h"
#include "core/utilities/version_option.h"
#include "scheduler/command_options.h"
#include "scheduler/scheduler_notices.h"
#include "scheduler/scheduler_texts.h"
#include "scheduler/scheduler_tray.h"
#include "scheduler/scheduler_window.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    using namespace clarivex;
    using namespace clarivex::scheduler;
    // Answered before anything else: no display, window or settings needed.
    if (const auto code =
            answerVersionOption(argc, argv, "clarivex-scheduler", schedulerVersionInfo()))
        return *code;
    if (const auto code = answerCommandOptions(argc, argv)) return *code;
    if (!platform::displayAvailable()) {
        std::fprintf(stderr, "%s\n", platform::noDisplayMessage().constData());
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kTitle));
    QApplication::setQuitOnLastWindowClosed(false); // it has no window; the menu ends it
    Q_INIT_RESOURCE(scheduler);

    if (SchedulerRunning()) {
        showNotice(QString::fromLatin1(kAlreadyRunning));
        return 0;
    }
    TSchedulerWindow window;
    if (!window.create()) {
        // Two started at once: the one that lost the socket is the second.
        if (SchedulerRunning()) {
            showNotice(QString::fromLatin1(kAlreadyRunning));
            return 0;
        }
        std::fprintf(stderr, "clarivex-scheduler: %s\n", qPrintable(window.errorString()));
        return 1;
    }
    SchedulerTray tray(window);
    // Without an icon nobody would know it runs, nor how to end it. Said once
    // the schedule is kept, so the message box holds nothing up.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        QTimer::singleShot(0, &app, [] {
            showNotice(QString::fromLatin1(kNoNotificationArea), NoticeKind::Information);
        });
    QObject::connect(
        &window, &TSchedulerWindow::quitRequested, &app, [] { QApplication::quit(); },
        Qt::QueuedConnection);
    // SIGTERM, SIGINT, SIGHUP: ended as its menu's command ends it.
    platform::TerminationSignals terminate;
    QObject::connect(&terminate, &platform::TerminationSignals::received, &window,
                     [&window] { window.Command(cmShutdown); });
    window.startAlarm();
    scheduleTrace(QStringLiteral("ready"));
    return app.exec();
}
