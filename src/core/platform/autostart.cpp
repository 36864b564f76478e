#include "core/platform/autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace clarivex::platform {

namespace {

// One argument of Exec=, in the desktop entry's quoting: inside double quotes
// the characters " ` $ \ are escaped with "\", then the value as a whole
// escapes "\" once more, and "%" is doubled for the field codes.
QString quoteExecArgument(const QString &argument)
{
    QString quoted;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString schedulerAutostartPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !config.startsWith(QLatin1Char('/')))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/clarivex-scheduler.desktop");
}

QString schedulerAutostartEntry(const QString &schedulerPath)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Clarivex 2000 Scheduler\n"
                          "Comment=Runs the scheduled scans of Clarivex 2000\n"
                          "Exec=%1\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(quoteExecArgument(schedulerPath));
}

bool writeSchedulerAutostart(const QString &schedulerPath, QString *error)
{
    const auto failed = [error](const QString &why) {
        if (error) *error = why;
        return false;
    };
    if (schedulerPath.contains(QLatin1Char('\n')) || schedulerPath.contains(QLatin1Char('\r')) ||
        schedulerPath.isEmpty())
        return failed(
            QStringLiteral("The path of the Scheduler cannot be written to an autostart entry"));
    const QString path = schedulerAutostartPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return failed(QStringLiteral("Cannot create %1").arg(QFileInfo(path).absolutePath()));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return failed(file.errorString());
    file.write(schedulerAutostartEntry(schedulerPath).toUtf8());
    if (!file.commit()) return failed(file.errorString());
    return true;
}

bool removeSchedulerAutostart()
{
    const QString path = schedulerAutostartPath();
    return QFile::remove(path) || !QFileInfo(path).exists();
}

} // namespace clarivex::platform
