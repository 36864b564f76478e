#include "core/shell/update_settings.h"

#include "core/shell/custom_registry.h"

#ifndef CLARIVEX_UPDATE_URL
#define CLARIVEX_UPDATE_URL ""
#endif

namespace clarivex {

namespace {
const QString kUpdate = QStringLiteral("Settings\\Update");
}

QString defaultUpdateInfoUrl()
{
    if (qEnvironmentVariableIsSet("CLARIVEX_UPDATE_URL"))
        return qEnvironmentVariable("CLARIVEX_UPDATE_URL");
    return QString::fromUtf8(CLARIVEX_UPDATE_URL);
}

void loadUpdateSettings(TRegIniFile &ini, UpdateSettings &settings)
{
    settings.AutoCheck = ini.ReadFlag(kUpdate, QStringLiteral("AutoCheck"), true);
    settings.InfoURL = ini.ReadText(kUpdate, QStringLiteral("InfoURL"), defaultUpdateInfoUrl());
}

void saveUpdateSettings(TRegIniFile &ini, const UpdateSettings &settings)
{
    ini.WriteFlag(kUpdate, QStringLiteral("AutoCheck"), settings.AutoCheck);
}

} // namespace clarivex
