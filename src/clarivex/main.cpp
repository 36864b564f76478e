// clarivex: the main window.

#include "core/base/settings_types.h"
#include "core/platform/display.h"
#include "core/platform/single_instance.h"
#include "core/platform/termination_signals.h"
#include "core/shell/command_line.h"
#include "core/shell/settings_catalogue.h"
#include "core/utilities/version_option.h"
#include "gui/shell/clarivex_application.h"
#include "gui/shell/main_window.h"
#include "gui/shell/second_start.h"
#include "gui/shell/splash_screen.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    using namespace clarivex;
    // Past a file-size limit (ulimit -f) a write fails with EFBIG and is
    // reported like any other failed write, instead of killing the program
    // in the middle of it.
    std::signal(SIGXFSZ, SIG_IGN);
    // Answered before anything else: no display, window or settings needed.
    if (const auto code = answerVersionOption(argc, argv, "clarivex", programVersionInfo()))
        return *code;
    if (!platform::displayAvailable()) {
        std::fprintf(stderr, "%s\n", platform::noDisplayMessage().constData());
        return 1;
    }
    ClarivexApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(platform::kProgramTitle));
    // Ties the window to its desktop entry (icon and name in docks, Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.clarivex.Clarivex"));
    // A second start brings the running program forward and ends; one that
    // gets no answer says so.
    if (platform::CheckPreviousInstance(false)) return AnswerSecondStart();

    const QStringList parameters = commandLineParameters(QApplication::arguments());
    std::unique_ptr<TClarivexSplashScreen> splash;
    if (StartWithSplash(parameters)) {
        splash = std::make_unique<TClarivexSplashScreen>();
        splash->showNow(); // visible before the long creation of the window
    }
    TClarivexMainForm window;
    // A log-out's SIGTERM, Ctrl+C or a closed terminal: closed as File >
    // Close does (settings saved, clean on close), then the program ends,
    // removing its socket and lock.
    platform::TerminationSignals terminate;
    QObject::connect(&terminate, &platform::TerminationSignals::received, &window, [&window] {
        window.closeUnattended();
        QApplication::quit();
    });
    app.errorHandler = [&window](const QString &message) { window.ShowErrorDialog(message); };
    window.listenForMessages();
    window.createWindowSteps(parameters);
    window.startAlarm();
    splash.reset();
    // Started in the tray, the window stays hidden until the user shows it
    // (a desktop without a tray shows it all the same).
    if (!ReadStartInTray() || !window.hasTrayIcon()) window.show();
    return app.exec();
}
