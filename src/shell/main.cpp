// clarivex: the main window.

#include "platform/copy_data.h"
#include "platform/display.h"
#include "platform/single_instance.h"
#include "shell/main_window.h"
#include "ui/bring_forward.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    using namespace clarivex;
    if (!platform::displayAvailable()) {
        std::fprintf(stderr, "%s\n", platform::noDisplayMessage().constData());
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(platform::kProgramTitle));
    QApplication::setApplicationDisplayName(QString::fromLatin1(platform::kProgramTitle));
    // A second start brings the running program forward and ends quietly.
    if (platform::CheckPreviousInstance(true))
        return 0;

    TClarivexMainForm window;
    platform::CopyDataServer messages;
    if (!messages.listen(QString::fromLatin1(platform::kMainWindowClass)))
        std::fprintf(stderr, "clarivex: %s\n", qPrintable(messages.errorString()));
    QObject::connect(&messages, &platform::CopyDataServer::comeForwardRequested, &window,
                     [&window] { ui::bringForward(&window); });

    window.show();
    return app.exec();
}
