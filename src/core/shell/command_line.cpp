#include "core/shell/command_line.h"

namespace clarivex {

QStringList commandLineParameters(const QStringList &arguments)
{
    return arguments.isEmpty() ? QStringList() : arguments.mid(1);
}

bool StartWithSplash(const QStringList &parameters)
{
    return !(parameters.size() == 1 &&
             parameters.first().compare(QLatin1String(kNoSplashSwitch), Qt::CaseInsensitive) == 0);
}

bool hasScheduledSwitch(const QStringList &parameters)
{
    return parameters.contains(QLatin1String(kScheduledEventSwitch), Qt::CaseSensitive);
}

} // namespace clarivex
