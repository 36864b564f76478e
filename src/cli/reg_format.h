#pragma once

#include "core/shell/custom_registry.h"

#include <optional>

namespace clarivex::cli {

struct RegistryKeyName
{
    RegistryHive hive = RegistryHive::CurrentUser;
    QString path;    // below the hive, without a leading "\"
    QString display; // the hive's long name, "\", path
};

// "HKEY_CURRENT_USER\Software\..." or "HKCU\..." (HKLM likewise); hive names in any case.
std::optional<RegistryKeyName> parseKeyName(const QString &text);

QString typeName(quint32 type);
// A value as one line: text up to its first NUL (control characters as \xHH),
// numbers in signed decimal, anything else as hex bytes.
QString formatValue(const RegistryValue &value);

// The subtree below the open key as readable text: a "[KEY]" line, then one
// "name"=value line per value, then the subkeys, each followed by a blank line.
QString exportTree(TRegistry &registry, const QString &displayPath);

} // namespace clarivex::cli
