#include "cli/stored_settings.h"

#include "cli/cli_command.h"

#include <QCoreApplication>

#include <exception>

namespace clarivex::cli {

bool loadStoredSettings(SettingsCatalogue &settings, int &exitCode)
{
    SettingsContext context = SettingsContext::current();
    context.executablePath = QCoreApplication::applicationDirPath() + QStringLiteral("/clarivex");
    try {
        LoadAllSettings(settings, context);
    } catch (const std::exception &error) {
        reportSettingsReset();
        exitCode = failure(QString::fromUtf8(error.what()));
        return false;
    }
    reportSettingsReset();
    return true;
}

} // namespace clarivex::cli
