#pragma once

// The reader of freedesktop .desktop launchers: the keys of the
// "[Desktop Entry]" group, with the string escapes undone, and the program of
// an Exec line by the quoting rules of the Desktop Entry Specification.
// Localised keys ("Name[de]") and every other group are left out.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

namespace clarivex {

struct DesktopEntry
{
    QHash<QString, QString> keys; // of the [Desktop Entry] group

    [[nodiscard]] QString value(const QString &key) const { return keys.value(key); }
};

// False with `error` set when the text is not a desktop entry: no
// "[Desktop Entry]" group as the first group, or a line that is neither a
// comment, a group header nor a key.
[[nodiscard]] bool parseDesktopEntry(const QByteArray &bytes, DesktopEntry &entry, QString &error);

// The arguments of an Exec value (quotes and their escapes undone, field
// codes kept as written). False when a quote is not closed.
[[nodiscard]] bool splitExec(const QString &exec, QStringList &arguments);

// The program an Exec line starts: its first argument, or for "env" the first
// argument after its variable settings and options.
[[nodiscard]] QString execProgram(const QStringList &arguments);

// A bare program name looked up in `searchPath` (a PATH text), then in the
// usual program folders; the name itself when it is found nowhere. A name
// holding "/" is returned as it is.
[[nodiscard]] QString findProgram(const QString &name, const QString &searchPath);

} // namespace clarivex
