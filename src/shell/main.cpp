// clarivex: the main window.

#include "platform/display.h"
#include "shell/main_window.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    if (!clarivex::platform::displayAvailable()) {
        std::fprintf(stderr, "%s\n", clarivex::platform::noDisplayMessage().constData());
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Clarivex 2000"));
    QApplication::setApplicationDisplayName(QStringLiteral("Clarivex 2000"));
    clarivex::TClarivexMainForm window;
    window.show();
    return app.exec();
}
