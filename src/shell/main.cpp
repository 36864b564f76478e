// clarivex: the main window.

#include "platform/display.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include <cstdio>

int main(int argc, char **argv)
{
    if (!clarivex::platform::displayAvailable()) {
        std::fprintf(stderr, "%s\n", clarivex::platform::noDisplayMessage().constData());
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Clarivex 2000"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Clarivex 2000 3.5"));
    window.setMinimumSize(600, 460);
    window.setCentralWidget(new QLabel(QStringLiteral("Clarivex 2000 3.5"), &window));
    window.show();
    return app.exec();
}
