#pragma once

// The reader of .lnk files by their published binary layout (the Shell Link
// Binary File Format): header, optional item-ID list (skipped), link info with
// the local base path or the network share and the common path suffix, the
// counted strings (description, relative path, working folder, arguments, icon
// location) in ANSI or UTF-16. Every length and offset is checked against the
// bytes at hand; a file that does not hold what its flags promise is refused.

#include "core/scanners/shortcut_info.h"

#include <QByteArray>
#include <QString>

namespace clarivex {

struct ShellLinkData
{
    QString target; // local base path + suffix, or share + "\" + suffix
    QString relativePath;
    QString workingDirectory;
    QString arguments;
    QString description;
    QString iconLocation;
    qint32 iconIndex = 0;
    quint32 showCommand = 1; // SW_SHOWNORMAL
};

// False with `error` set when the bytes are not a readable shell link.
[[nodiscard]] bool parseShellLink(const QByteArray &bytes, ShellLinkData &link, QString &error);

} // namespace clarivex
