#pragma once

// The entries of the Add/Remove Programs list: the subkeys of the machine
// hive's uninstall key, each with a title ("DisplayName") and an uninstall
// command ("UninstallString"). Reads and writes go through the settings store.

#include <QList>
#include <QString>

namespace clarivex {

inline const QString kUninstallKey =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");

struct UninstallEntry
{
    QString title;
    QString command;
    QString key; // the subkey's name
};

// The entries with a title, by subkey name without regard to case. A key that
// cannot be opened gives none; a value that cannot be read as text reads empty.
[[nodiscard]] QList<UninstallEntry> readUninstallEntries();

// Writes title and command into an existing entry; false when its key cannot
// be opened. A failing write throws ERegistryException.
[[nodiscard]] bool writeUninstallEntry(const QString &key, const QString &title,
                                       const QString &command);
// Creates a new entry named after the title (made unique) and writes it; the
// subkey's name, or empty when it could not be created.
[[nodiscard]] QString createUninstallEntry(const QString &title, const QString &command);
// Removes the entry's key with everything below it; false when that failed.
[[nodiscard]] bool deleteUninstallEntry(const QString &key);

} // namespace clarivex
