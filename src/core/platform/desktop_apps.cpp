#include "core/platform/desktop_apps.h"

#include "core/platform/desktop_entry.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

namespace clarivex::platform {

namespace {

QStringList environmentList(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name);
    return (value.isEmpty() ? fallback : value).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

QString configHome()
{
    const QString value = qEnvironmentVariable("XDG_CONFIG_HOME");
    return value.isEmpty() ? QDir::homePath() + QStringLiteral("/.config") : value;
}

QString dataHome()
{
    const QString value = qEnvironmentVariable("XDG_DATA_HOME");
    return value.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : value;
}

// The folders of launchers, the user's first.
QStringList applicationFolders()
{
    QStringList folders{dataHome() + QStringLiteral("/applications")};
    for (const QString &dir :
         environmentList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")))
        folders << dir + QStringLiteral("/applications");
    return folders;
}

// The mimeapps.list files, the ones that win first.
QStringList mimeAppsLists()
{
    QStringList files{configHome() + QStringLiteral("/mimeapps.list")};
    for (const QString &dir : environmentList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")))
        files << dir + QStringLiteral("/mimeapps.list");
    for (const QString &folder : applicationFolders())
        files << folder + QStringLiteral("/mimeapps.list");
    return files;
}

// A launcher's path by its desktop-file id ("org.gnome.TextEditor.desktop";
// "kde-kate.desktop" may live as kde/kate.desktop).
QString launcherPath(const QString &id)
{
    for (const QString &folder : applicationFolders()) {
        QString candidate = folder + QLatin1Char('/') + id;
        if (QFile::exists(candidate)) return candidate;
        qsizetype dash = id.indexOf(QLatin1Char('-'));
        while (dash > 0) {
            QString nested = id;
            nested[dash] = QLatin1Char('/');
            candidate = folder + QLatin1Char('/') + nested;
            if (QFile::exists(candidate)) return candidate;
            dash = id.indexOf(QLatin1Char('-'), dash + 1);
        }
    }
    return {};
}

// The ids one group of a mimeapps.list gives the type.
QStringList listedIds(const QString &file, const QString &group, const QString &mimeType)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return {};
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = QString::fromUtf8(in.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inGroup && equals > 0 && line.left(equals).trimmed() == mimeType)
            return line.mid(equals + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    return {};
}

bool readLauncher(const QString &path, DesktopEntry &entry)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly) || in.size() > 1024 * 1024) return false;
    QString error;
    return parseDesktopEntry(in.readAll(), entry, error);
}

bool launcherHandles(const QString &path, const QString &mimeType)
{
    DesktopEntry entry;
    if (!readLauncher(path, entry) || entry.value(QStringLiteral("Hidden")) == "true" ||
        entry.value(QStringLiteral("Exec")).isEmpty())
        return false;
    return entry.value(QStringLiteral("MimeType"))
        .split(QLatin1Char(';'), Qt::SkipEmptyParts)
        .contains(mimeType);
}

QString applicationForExactType(const QString &mimeType)
{
    for (const char *group : {"Default Applications", "Added Associations"}) {
        for (const QString &list : mimeAppsLists()) {
            for (const QString &id : listedIds(list, QString::fromLatin1(group), mimeType)) {
                const QString path = launcherPath(id.trimmed());
                if (!path.isEmpty()) return path;
            }
        }
    }
    for (const QString &folder : applicationFolders()) {
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (launcherHandles(path, mimeType)) return path;
        }
    }
    return {};
}

} // namespace

QString associatedApplication(const QString &mimeType)
{
    const QMimeType type = QMimeDatabase().mimeTypeForName(mimeType);
    QStringList names{mimeType};
    if (type.isValid()) names << type.aliases() << type.allAncestors();
    for (const QString &name : std::as_const(names)) {
        const QString path = applicationForExactType(name);
        if (!path.isEmpty()) return path;
    }
    return {};
}

QString exactApplication(const QString &mimeType)
{
    return applicationForExactType(mimeType);
}

QString fileMimeType(const QByteArray &path)
{
    QByteArray head;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        head.resize(16 * 1024);
        const ssize_t got = ::read(fd, head.data(), size_t(head.size()));
        head.resize(got > 0 ? got : 0);
        ::close(fd);
    }
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    return QMimeDatabase().mimeTypeForFileNameAndData(QString::fromUtf8(name), head).name();
}

bool hasAssociation(const QByteArray &path)
{
    return !associatedApplication(fileMimeType(path)).isEmpty();
}

QStringList launcherCommand(const QString &desktopFile, const QString &filePath)
{
    DesktopEntry entry;
    QStringList arguments;
    if (!readLauncher(desktopFile, entry) ||
        !splitExec(entry.value(QStringLiteral("Exec")), arguments) || arguments.isEmpty())
        return {};
    const QString url = QUrl::fromLocalFile(filePath).toString(QUrl::FullyEncoded);
    QStringList command;
    for (const QString &argument : std::as_const(arguments)) {
        if (argument == QLatin1String("%i")) continue; // the icon needs no asking for
        QString expanded;
        for (qsizetype i = 0; i < argument.size(); ++i) {
            if (argument[i] != QLatin1Char('%') || i + 1 == argument.size()) {
                expanded += argument[i];
                continue;
            }
            const QChar code = argument[++i];
            if (code == QLatin1Char('f') || code == QLatin1Char('F'))
                expanded += filePath;
            else if (code == QLatin1Char('u') || code == QLatin1Char('U'))
                expanded += url;
            else if (code == QLatin1Char('c'))
                expanded += entry.value(QStringLiteral("Name"));
            else if (code == QLatin1Char('k'))
                expanded += desktopFile;
            else if (code == QLatin1Char('%'))
                expanded += QLatin1Char('%');
        }
        if (!expanded.isEmpty() || !argument.startsWith(QLatin1Char('%'))) command << expanded;
    }
    if (command.isEmpty()) return {};
    command[0] = findProgram(command[0], qEnvironmentVariable("PATH"));
    return command;
}

QString launcherName(const QString &desktopFile)
{
    DesktopEntry entry;
    return readLauncher(desktopFile, entry) ? entry.value(QStringLiteral("Name")) : QString();
}

bool launcherNeedsTerminal(const QString &desktopFile)
{
    DesktopEntry entry;
    return readLauncher(desktopFile, entry) &&
           entry.value(QStringLiteral("Terminal")).trimmed() == QLatin1String("true");
}

QStringList terminalCommand(const QString &searchPath)
{
    const QStringList folders = searchPath.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    QStringList candidates;
    QStringList terminal;
    // TERMINAL may carry options of its own ("kitty --single-instance").
    if (splitExec(qEnvironmentVariable("TERMINAL"), terminal) && !terminal.isEmpty())
        candidates << terminal.first();
    candidates << QStringLiteral("x-terminal-emulator");
    for (const QString &candidate : std::as_const(candidates)) {
        const QString program = candidate.contains(QLatin1Char('/'))
                                    ? candidate
                                    : QStandardPaths::findExecutable(candidate, folders);
        if (program.isEmpty() || !QFileInfo(program).isExecutable()) continue;
        QStringList command{program};
        if (candidate == terminal.value(0)) command << terminal.mid(1);
        return command << QStringLiteral("-e");
    }
    return {};
}

QStringList textEditorCommand(const QString &filePath)
{
    const QString launcher = applicationForExactType(QStringLiteral("text/plain"));
    if (!launcher.isEmpty()) {
        const QStringList command = launcherCommand(launcher, filePath);
        if (!command.isEmpty()) return command;
    }
    static const char *const editors[] = {"gnome-text-editor", "gedit", "kate", "kwrite",
                                          "mousepad",          "pluma", "xed",  "featherpad",
                                          "leafpad",           "geany"};
    for (const char *editor : editors) {
        const QString program =
            findProgram(QString::fromLatin1(editor), qEnvironmentVariable("PATH"));
        if (program.startsWith(QLatin1Char('/'))) return {program, filePath};
    }
    return {};
}

} // namespace clarivex::platform
