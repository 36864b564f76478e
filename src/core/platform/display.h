#pragma once

#include <QByteArray>

namespace clarivex::platform {

// True when a window can be shown: a display server is named in the
// environment, or the platform plugin was chosen explicitly.
bool displayAvailable();

// The one line printed instead of a toolkit abort when there is no display.
QByteArray noDisplayMessage();

} // namespace clarivex::platform
