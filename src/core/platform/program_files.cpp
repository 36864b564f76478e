#include "core/platform/program_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef CLARIVEX_DATA_FROM_BIN
#define CLARIVEX_DATA_FROM_BIN "../share/clarivex"
#endif

namespace clarivex::platform {

QString installedDataFolder(const QString &programDir)
{
    return QDir::cleanPath(programDir + QLatin1Char('/') +
                           QString::fromUtf8(CLARIVEX_DATA_FROM_BIN));
}

QString helpIndexPath(const QString &programDir)
{
    const QString beside = QDir::cleanPath(programDir + QStringLiteral("/help/index.html"));
    if (QFileInfo(beside).isFile()) return beside;
    return installedDataFolder(programDir) + QStringLiteral("/help/index.html");
}

QString helpIndexPath()
{
    return helpIndexPath(QCoreApplication::applicationDirPath());
}

} // namespace clarivex::platform
