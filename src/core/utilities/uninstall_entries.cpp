#include "core/utilities/uninstall_entries.h"

#include "core/shell/custom_registry.h"

#include <QStringList>

namespace clarivex {

namespace {

QString readTextOrEmpty(const TRegistry &registry, const QString &name)
{
    try {
        return registry.ReadText(name);
    } catch (const ERegistryException &) {
        return {}; // not text: the entry shows no such value
    }
}

// A subkey name may not contain the key separator, and must not be empty.
QString keyNameFor(const QString &title)
{
    QString name = title.trimmed();
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    return name.isEmpty() ? QStringLiteral("Program") : name;
}

} // namespace

QList<UninstallEntry> readUninstallEntries()
{
    QList<UninstallEntry> entries;
    TRegistry registry;
    registry.SetRoot(RegistryHive::LocalMachine);
    if (!registry.OpenPath(kUninstallKey, false)) return entries;
    QStringList keys;
    registry.ListSubkeyNames(keys);
    for (const QString &key : keys) {
        TRegistry entry;
        entry.SetRoot(RegistryHive::LocalMachine);
        if (!entry.OpenPath(kUninstallKey + key, false)) continue;
        const QString title = readTextOrEmpty(entry, QStringLiteral("DisplayName"));
        if (title.isEmpty()) continue;
        entries.append({title, readTextOrEmpty(entry, QStringLiteral("UninstallString")), key});
    }
    return entries;
}

bool writeUninstallEntry(const QString &key, const QString &title, const QString &command)
{
    if (key.isEmpty()) return false; // never the uninstall key itself
    TRegistry registry;
    registry.SetRoot(RegistryHive::LocalMachine);
    if (!registry.OpenPath(kUninstallKey + key, false)) return false;
    registry.WriteText(QStringLiteral("DisplayName"), title);
    registry.WriteText(QStringLiteral("UninstallString"), command);
    return true;
}

QString createUninstallEntry(const QString &title, const QString &command)
{
    TRegistry registry;
    registry.SetRoot(RegistryHive::LocalMachine);
    const QString base = keyNameFor(title);
    QString key = base;
    for (int n = 2; registry.KeyExists(kUninstallKey + key); ++n)
        key = QStringLiteral("%1 (%2)").arg(base).arg(n);
    if (!registry.OpenPath(kUninstallKey + key, true)) return {};
    registry.WriteText(QStringLiteral("DisplayName"), title);
    registry.WriteText(QStringLiteral("UninstallString"), command);
    return key;
}

bool deleteUninstallEntry(const QString &key)
{
    if (key.isEmpty()) return false;
    TRegistry registry;
    registry.SetRoot(RegistryHive::LocalMachine);
    return registry.DropKey(kUninstallKey + key);
}

} // namespace clarivex
