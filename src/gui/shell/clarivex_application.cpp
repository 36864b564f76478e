#include "gui/shell/clarivex_application.h"

#include <cstdio>
#include <exception>

namespace clarivex {

ClarivexApplication::ClarivexApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool ClarivexApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        const QString message = QString::fromUtf8(error.what());
        if (errorHandler)
            errorHandler(message);
        else
            std::fprintf(stderr, "clarivex: %s\n", error.what());
    } catch (...) {
        if (errorHandler) errorHandler(QString());
    }
    return false;
}

} // namespace clarivex
