// clarivex: the main window.

#include "platform/copy_data.h"
#include "platform/display.h"
#include "platform/single_instance.h"
#include "ui/bring_forward.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

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
    // A second start brings the running program forward and ends quietly.
    if (platform::CheckPreviousInstance(true)) return 0;

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Clarivex 2000 3.5"));
    window.setMinimumSize(600, 460);
    window.setCentralWidget(new QLabel(QStringLiteral("Clarivex 2000 3.5"), &window));

    platform::CopyDataServer messages;
    if (!messages.listen(QString::fromLatin1(platform::kMainWindowClass)))
        std::fprintf(stderr, "clarivex: %s\n", qPrintable(messages.errorString()));
    QObject::connect(&messages, &platform::CopyDataServer::comeForwardRequested, &window,
                     [&window] { ui::bringForward(&window); });

    window.show();
    return app.exec();
}
