#pragma once

class QWidget;

namespace clarivex::ui {

// What a second start of the program asks of the running one: a minimised
// window is restored, a hidden one (in the tray) is shown, and the window is
// raised and activated.
void bringForward(QWidget *window);

} // namespace clarivex::ui
