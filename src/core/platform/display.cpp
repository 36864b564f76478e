#include "core/platform/display.h"

#include <QtGlobal>

namespace clarivex::platform {

bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QByteArray noDisplayMessage()
{
    return "clarivex: no display available (neither DISPLAY nor WAYLAND_DISPLAY is set); "
           "start it from a desktop session";
}

} // namespace clarivex::platform
