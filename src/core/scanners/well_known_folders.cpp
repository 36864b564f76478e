#include "core/scanners/well_known_folders.h"

#include "core/shell/custom_registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QStandardPaths>
#include <QTextStream>

namespace clarivex {

namespace {

const QString kNetscape = QStringLiteral("\\Software\\Netscape\\Netscape Navigator\\");

// A text value of the settings store; a missing key or value, or a value of
// another kind, reads as empty.
QString storedText(RegistryHive hive, const QString &key, const QString &name)
{
    try {
        TRegistry registry;
        registry.SetRoot(hive);
        if (!registry.OpenPath(key, false)) return {};
        return registry.ReadText(name);
    } catch (const ERegistryException &) {
        return {};
    }
}

QString userText(const QString &key, const QString &name)
{
    return storedText(RegistryHive::CurrentUser, key, name);
}

QString cacheHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
}

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString existingFolder(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir() ? QDir::cleanPath(path) : QString();
}

using IniSection = QPair<QString, QList<QPair<QString, QString>>>;

// The sections of an INI file in file order, each with its keys in order.
QList<IniSection> readIni(const QString &path)
{
    QList<IniSection> sections;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return sections;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            sections.append({line.mid(1, line.size() - 2), {}});
        } else if (const auto equals = line.indexOf(QLatin1Char('='));
                   equals > 0 && !sections.isEmpty() && !line.startsWith(QLatin1Char(';'))) {
            sections.last().second.append({line.left(equals).trimmed(), line.mid(equals + 1)});
        }
    }
    return sections;
}

QString iniValue(const IniSection &section, const QString &key)
{
    for (const auto &[name, value] : section.second)
        if (name == key) return value;
    return {};
}

QString firefoxFolder()
{
    return QDir::homePath() + QStringLiteral("/.mozilla/firefox");
}

} // namespace

QString ReplaceAll(QString text, const QString &from, const QString &to)
{
    if (from.isEmpty()) return text;
    for (qsizetype at = text.indexOf(from); at >= 0; at = text.indexOf(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

QString GetTempFolder()
{
    QString path = qEnvironmentVariable("TMPDIR");
    if (path.isEmpty()) path = QStringLiteral("/tmp");
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}

QString GetShellFolder(const QString &valueName)
{
    const QString stored =
        userText(QStringLiteral("\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                "Shell Folders"),
                 valueName);
    if (!stored.isEmpty()) return stored;
    if (valueName.compare(QLatin1String("RECENT"), Qt::CaseInsensitive) == 0)
        return dataHome() + QStringLiteral("/RecentDocuments");
    if (valueName.compare(QLatin1String("FAVORITES"), Qt::CaseInsensitive) == 0) {
        const QString profile = wellknown::firefoxDefaultProfile(firefoxFolder());
        if (!profile.isEmpty()) return existingFolder(profile + QStringLiteral("/bookmarkbackups"));
    }
    return {};
}

QString GetIECacheFolder()
{
    const QString stored = storedText(
        RegistryHive::LocalMachine,
        QStringLiteral("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\"
                       "Cache\\Paths"),
        QStringLiteral("Directory"));
    if (!stored.isEmpty()) return stored;
    for (const char *browser : {"microsoft-edge", "google-chrome", "chromium"}) {
        const QString folder =
            existingFolder(cacheHome() + QLatin1Char('/') + QString::fromLatin1(browser));
        if (!folder.isEmpty()) return folder;
    }
    return {};
}

QString GetNetscapeCacheFolder()
{
    const QString profile = wellknown::netscapeProfileFolder();
    if (!profile.isEmpty()) {
        const QString cache = wellknown::netscapeCacheOfProfile(profile);
        if (!cache.isEmpty()) return cache;
    }
    const QString firefox = wellknown::firefoxDefaultProfile(firefoxFolder());
    return firefox.isEmpty() ? QString() : wellknown::firefoxCacheOfProfile(firefox);
}

namespace wellknown {

QString netscapeProfileFolder()
{
    const QString biff = kNetscape + QStringLiteral("biff");
    QString user = userText(biff, QStringLiteral("CurrentUser"));
    const QString userKey = biff + QStringLiteral("\\users\\") + user;
    const QString server = userText(userKey, QStringLiteral("defaultServer"));
    const QString pop =
        userText(userKey + QStringLiteral("\\servers\\") + server, QStringLiteral("popstatePath"));
    // The profile holds the mail folder; either separator may stand in the stored path.
    for (const char *tail : {"\\mail\\popstate.dat", "/mail/popstate.dat"}) {
        const auto at = pop.indexOf(QLatin1String(tail));
        if (at > 0) return pop.left(at);
    }
    user = ReplaceAll(ReplaceAll(user, QStringLiteral("."), QStringLiteral("_")),
                      QStringLiteral(" "), QStringLiteral("_"));
    QString install =
        userText(kNetscape + QStringLiteral("Main"), QStringLiteral("Install Directory"));
    const auto communicator = install.indexOf(QLatin1String("Communicator"));
    install = communicator >= 0 ? install.left(communicator) : QString();
    if (install.isEmpty()) return {}; // a profile path relative to nowhere
    return install + QStringLiteral("Users/") + user;
}

QString netscapeCacheOfProfile(const QString &profile)
{
    QFile prefs(profile + QStringLiteral("/prefs.js"));
    if (!prefs.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    // user_pref("browser.cache.directory", "C:\\NS\\Cache");
    static const QString prefix = QStringLiteral("user_pref(\"browser.cache.directory\", \"");
    QString value;
    QTextStream in(&prefs);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        const auto at = line.indexOf(prefix);
        if (at < 0) continue;
        const auto start = at + prefix.size();
        value = line.mid(start, line.size() - 3 - start); // less the closing `");`
        value = ReplaceAll(value, QStringLiteral("\\\\"), QStringLiteral("\\"));
        break;
    }
    return value.isEmpty() ? profile + QStringLiteral("/Cache") : value;
}

QString firefoxDefaultProfile(const QString &firefoxFolder)
{
    const QList<IniSection> sections = readIni(firefoxFolder + QStringLiteral("/profiles.ini"));
    const auto resolve = [&](const QString &path, bool relative) {
        if (path.isEmpty()) return QString();
        return relative ? firefoxFolder + QLatin1Char('/') + path : path;
    };
    // The profile an installation uses comes first (Firefox 67 and later) ...
    for (const IniSection &section : sections)
        if (section.first.startsWith(QLatin1String("Install"))) {
            const QString path = iniValue(section, QStringLiteral("Default"));
            if (!path.isEmpty()) return resolve(path, !path.startsWith(QLatin1Char('/')));
        }
    // ... then the profile marked default, then the first profile.
    QString first;
    for (const IniSection &section : sections) {
        if (!section.first.startsWith(QLatin1String("Profile"))) continue;
        const QString path = resolve(iniValue(section, QStringLiteral("Path")),
                                     iniValue(section, QStringLiteral("IsRelative")) != u"0");
        if (iniValue(section, QStringLiteral("Default")) == u"1") return path;
        if (first.isEmpty()) first = path;
    }
    return first;
}

QString firefoxCacheOfProfile(const QString &profile)
{
    // The preference names the folder Firefox keeps its disk cache *in*: the
    // cache is its "cache2", and the folder may hold anything else besides
    // (a RAM disk with the user's documents). The same below the cache home,
    // where the profile's folder also holds its start-up cache and the like.
    QString parent = prefsJsString(profile + QStringLiteral("/prefs.js"),
                                   QStringLiteral("browser.cache.disk.parent_directory"));
    if (parent.isEmpty())
        parent = cacheHome() + QStringLiteral("/mozilla/firefox/") + QFileInfo(profile).fileName();
    return existingFolder(parent + QStringLiteral("/cache2"));
}

QString prefsJsString(const QString &prefsFile, const QString &key)
{
    QFile prefs(prefsFile);
    if (!prefs.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    const QString prefix = QStringLiteral("user_pref(\"") + key + QStringLiteral("\",");
    QTextStream in(&prefs);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (!line.startsWith(prefix)) continue;
        const QString rest = line.mid(prefix.size()).trimmed();
        if (!rest.startsWith(QLatin1Char('"'))) return {};
        QString value;
        for (qsizetype i = 1; i < rest.size(); ++i) {
            const QChar c = rest.at(i);
            if (c == QLatin1Char('"')) return value;
            if (c == QLatin1Char('\\') && i + 1 < rest.size()) {
                value += rest.at(++i);
                continue;
            }
            value += c;
        }
        return {}; // no closing quote
    }
    return {};
}

} // namespace wellknown

} // namespace clarivex
