#include "gui/toolkit/bring_forward.h"

#include <QWidget>

namespace clarivex::ui {

void bringForward(QWidget *window)
{
    if (!window) return;
    if (window->isMinimized())
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    if (!window->isVisible()) window->show();
    window->raise();
    window->activateWindow();
}

} // namespace clarivex::ui
