#include "core/platform/desktop_entry.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <sys/stat.h>

namespace clarivex {

namespace {

// The string escapes of a value: \s \n \t \r \\ (others stay as written,
// so that the Exec quoting sees them).
QString unescapeValue(QStringView value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default:
            out += c;
            out += next;
            break;
        }
    }
    return out;
}

bool isRegularFile(const QString &path)
{
    struct stat st;
    const QByteArray native = QFile::encodeName(path);
    return ::stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

bool parseDesktopEntry(const QByteArray &bytes, DesktopEntry &entry, QString &error)
{
    entry.keys.clear();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError()) {
        error = QStringLiteral("not UTF-8 text");
        return false;
    }
    enum { BeforeGroup, InEntry, InOther } where = BeforeGroup;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        const QStringView trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#'))) continue;
        if (trimmed.startsWith(QLatin1Char('['))) {
            if (!trimmed.endsWith(QLatin1Char(']'))) break; // a broken header ends the entry
            const bool entryGroup = trimmed == QLatin1String("[Desktop Entry]");
            if (where == BeforeGroup && !entryGroup) break;
            if (where == InEntry) return true; // the entry's group is over
            where = entryGroup ? InEntry : InOther;
            continue;
        }
        const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
        if (equals <= 0 || where == BeforeGroup) {
            error = QStringLiteral("not a desktop entry");
            return false;
        }
        if (where != InEntry) continue;
        const QString key = trimmed.left(equals).trimmed().toString();
        if (key.contains(QLatin1Char('['))) continue; // a localised variant
        if (!entry.keys.contains(key))
            entry.keys.insert(key, unescapeValue(trimmed.mid(equals + 1).trimmed()));
    }
    if (where != InEntry) {
        error = QStringLiteral("no [Desktop Entry] group");
        return false;
    }
    return true;
}

bool splitExec(const QString &exec, QStringList &arguments)
{
    arguments.clear();
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                quoted = false;
            } else if (c == QLatin1Char('\\') && i + 1 < exec.size() &&
                       QStringLiteral("\"`$\\").contains(exec[i + 1])) {
                current += exec[++i];
            } else {
                current += c;
            }
            continue;
        }
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            if (inArgument) arguments << current;
            current.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == QLatin1Char('"'))
            quoted = true;
        else
            current += c;
    }
    if (quoted) return false;
    if (inArgument) arguments << current;
    return true;
}

QString execProgram(const QStringList &arguments)
{
    if (arguments.isEmpty()) return {};
    const QString &first = arguments.first();
    if (first != QLatin1String("env") && first != QLatin1String("/usr/bin/env")) return first;
    static const QStringList withValue{QStringLiteral("-u"), QStringLiteral("--unset"),
                                       QStringLiteral("-C"), QStringLiteral("--chdir")};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (withValue.contains(argument)) {
            ++i; // the option's own value
            continue;
        }
        if (argument.startsWith(QLatin1Char('-')) || argument.contains(QLatin1Char('='))) continue;
        return argument;
    }
    return first;
}

QString findProgram(const QString &name, const QString &searchPath)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) return name;
    // The desktop's PATH may hold more than the one this program was started
    // with (a timer, a service): the usual program folders are asked as well.
    QStringList folders = searchPath.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const QString home = QDir::homePath();
    folders << home + QStringLiteral("/.local/bin") << home + QStringLiteral("/bin")
            << QStringLiteral("/usr/local/sbin") << QStringLiteral("/usr/local/bin")
            << QStringLiteral("/usr/sbin") << QStringLiteral("/usr/bin") << QStringLiteral("/sbin")
            << QStringLiteral("/bin") << QStringLiteral("/usr/games")
            << QStringLiteral("/usr/local/games") << QStringLiteral("/snap/bin")
            << QStringLiteral("/var/lib/flatpak/exports/bin")
            << home + QStringLiteral("/.local/share/flatpak/exports/bin");
    for (const QString &folder : std::as_const(folders)) {
        if (!folder.startsWith(QLatin1Char('/'))) continue; // never relative to our own folder
        const QString candidate = folder + QLatin1Char('/') + name;
        if (isRegularFile(candidate)) return candidate;
    }
    return name;
}

} // namespace clarivex
