#pragma once

#include "core/shell/custom_registry.h"

#include <functional>
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

// A name or text as one field of a tab-separated line: "\\" for a backslash,
// "\t", "\n" and "\r", other control characters as "\xHH".
QString escapeField(const QString &text);

// `reg list`: subkeys one per line, then "name<TAB>type<TAB>value" per value,
// names and text values escaped by escapeField.
QByteArray listText(const QStringList &subkeys, const QList<RegistryValue> &values);
// The same as one JSON object: {"subkeys": [...], "values": [{"name", "type",
// "value"}]}, with text as text, REG_DWORD as a number, others as hex bytes.
QByteArray listJson(const QStringList &subkeys, const QList<RegistryValue> &values);

// The subtree below the open key as readable text: a "[KEY]" line, then one
// "name"=value line per value, then the subkeys, each followed by a blank line.
// Each key's section goes to `out` as soon as it is made, so any depth takes
// memory for one path and the keys along it only.
void exportTree(const TRegistry &registry, const QString &displayPath,
                const std::function<void(const QString &section)> &out);

} // namespace clarivex::cli
