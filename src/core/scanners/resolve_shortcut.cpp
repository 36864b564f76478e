#include "core/scanners/resolve_shortcut.h"

#include "core/platform/desktop_entry.h"
#include "core/scanners/shell_link.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex {

namespace {

bool endsWithNoCase(const QByteArray &name, const char *suffix)
{
    const qsizetype size = qsizetype(std::strlen(suffix));
    return name.size() > size &&
           qstrnicmp(name.constData() + name.size() - size, suffix, size) == 0;
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray() : path.left(slash + 1);
}

// The file's bytes: a plain file only, never through a link, never more than
// the limit (a bigger file is refused).
bool readBounded(const QByteArray &path, QByteArray &bytes, QString &error)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!ok) error = QStringLiteral("not a plain file");
    bytes.clear();
    while (ok) {
        char buffer[16384];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            ok = false;
        } else if (got == 0) {
            break;
        } else if (bytes.size() + got > kMaxShortcutFileSize) {
            error = QStringLiteral("too large for a shortcut");
            ok = false;
        } else {
            bytes.append(buffer, got);
        }
    }
    ::close(fd);
    return ok;
}

bool resolveSymlink(const QByteArray &path, TShortcutInfo &info, QString &error)
{
    QByteArray text(4096, '\0');
    const ssize_t length = ::readlink(path.constData(), text.data(), size_t(text.size()));
    if (length < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    text.truncate(length);
    if (!text.startsWith('/')) text = folderOf(path) + text;
    info.kind = ShortcutKind::SymbolicLink;
    info.target = QFile::decodeName(text);
    return true;
}

QString localFileOfUrl(const QString &text)
{
    const QUrl url(text);
    if (!url.isLocalFile()) return {};
    // "file://localhost/PATH" names the same file as "file:///PATH"; another
    // host stays a network path ("//host/PATH"), checked as such.
    if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return url.toLocalFile();
    return QFile::decodeName(
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QString launcherProgram(const QString &exec, const QString &searchPath, QString &arguments)
{
    QStringList parts;
    if (!splitExec(exec, parts) || parts.isEmpty()) return {};
    const QString program = execProgram(parts);
    const qsizetype at = parts.indexOf(program);
    arguments = parts.mid(at + 1).join(QLatin1Char(' '));
    return findProgram(program, searchPath);
}

bool resolveDesktop(const QByteArray &path, TShortcutInfo &info, QString &error,
                    const QString &searchPath)
{
    QByteArray bytes;
    if (!readBounded(path, bytes, error)) return false;
    DesktopEntry entry;
    if (!parseDesktopEntry(bytes, entry, error)) return false;
    const QString type = entry.value(QStringLiteral("Type"));
    info.description = entry.value(QStringLiteral("Comment"));
    if (info.description.isEmpty()) info.description = entry.value(QStringLiteral("Name"));
    info.iconPath = entry.value(QStringLiteral("Icon"));
    info.workingDirectory = entry.value(QStringLiteral("Path"));
    if (type == QLatin1String("Application")) {
        info.kind = ShortcutKind::DesktopApplication;
        info.target =
            launcherProgram(entry.value(QStringLiteral("Exec")), searchPath, info.arguments);
        const QString tryExec = entry.value(QStringLiteral("TryExec"));
        if (!tryExec.isEmpty()) info.tryExec = findProgram(tryExec, searchPath);
    } else if (type == QLatin1String("Link")) {
        info.kind = ShortcutKind::DesktopLink;
        info.target = localFileOfUrl(entry.value(QStringLiteral("URL")));
    }
    return true; // another type (Directory) names no file: empty target
}

bool resolveShellLink(const QByteArray &path, TShortcutInfo &info, QString &error)
{
    QByteArray bytes;
    if (!readBounded(path, bytes, error)) return false;
    ShellLinkData link;
    if (!parseShellLink(bytes, link, error)) return false;
    info.kind = ShortcutKind::ShellLink;
    info.target = link.target;
    if (info.target.isEmpty() && !link.relativePath.isEmpty()) {
        // Only a path relative to the link itself, as a link made on Linux holds.
        QString relative = link.relativePath;
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        info.target = relative.startsWith(QLatin1Char('/'))
                          ? relative
                          : QDir::cleanPath(QFile::decodeName(folderOf(path)) + relative);
    }
    info.workingDirectory = link.workingDirectory;
    info.arguments = link.arguments;
    info.description = link.description;
    info.iconPath = link.iconLocation;
    info.iconIndex = link.iconIndex;
    switch (link.showCommand) {
    case 1:
        info.showState = 0;
        break; // normal
    case 7:
        info.showState = 1;
        break; // minimised without activation
    case 3:
        info.showState = 2;
        break; // maximised
    default:
        break; // left as it was
    }
    return true;
}

} // namespace

bool isShortcutFile(const QByteArray &name, bool isSymlink)
{
    return isSymlink || endsWithNoCase(name, ".desktop") || endsWithNoCase(name, ".lnk");
}

QString shortcutDisplayName(const QByteArray &path)
{
    QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    if (endsWithNoCase(name, ".desktop"))
        name.chop(8);
    else if (name.size() >= 4 && name[name.size() - 4] == '.')
        name.chop(4);
    return QFile::decodeName(name);
}

bool ResolveShortcut(const QByteArray &path, TShortcutInfo &info, QString &error,
                     const QString &searchPath)
{
    info = TShortcutInfo{};
    info.folder = QFile::decodeName(folderOf(path));
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    bool ok = false;
    if (S_ISLNK(st.st_mode))
        ok = resolveSymlink(path, info, error);
    else if (endsWithNoCase(path, ".desktop"))
        ok = resolveDesktop(path, info, error, searchPath);
    else if (endsWithNoCase(path, ".lnk"))
        ok = resolveShellLink(path, info, error);
    else
        error = QStringLiteral("not a shortcut");
    if (ok && info.description.isEmpty()) info.description = shortcutDisplayName(path);
    return ok;
}

} // namespace clarivex
