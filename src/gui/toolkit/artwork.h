#pragma once

#include <QIcon>

namespace clarivex::ui {

// The program's own pictures (compiled in): "clarivex" for the program icon and
// one per side-bar item ("options", "temporary-files", ..., "about"), "error".
QIcon artwork(const QString &name);

} // namespace clarivex::ui
