#pragma once

// ResolveShortcut: reads one shortcut file of any of the three kinds and
// fills its TShortcutInfo.
//   symbolic link   target = the link text, resolved against the link's folder
//   .desktop        Type=Application: the program of Exec (a bare name looked
//                   up in PATH), TryExec where present, Path, Icon;
//                   Type=Link: the local path of its file:// URL (another URL
//                   names no file: empty target)
//   .lnk            the shell-link format (core/scanners/shell_link.h)
// A file is read only up to kMaxShortcutFileSize, without following a link
// and without waiting on anything that is not a plain file.

#include "core/scanners/shortcut_info.h"

#include <QByteArray>
#include <QString>

namespace clarivex {

// True when the name or kind makes the file a shortcut worth reading.
[[nodiscard]] bool isShortcutFile(const QByteArray &name, bool isSymlink);

// False, with the reason in `error`, when the file cannot be read as a
// shortcut (unreadable, truncated, not a shortcut). `searchPath` is the PATH
// in which bare program names are looked up.
[[nodiscard]] bool ResolveShortcut(const QByteArray &path, TShortcutInfo &info, QString &error,
                                   const QString &searchPath = qEnvironmentVariable("PATH"));

// The shortcut's file name without its extension (the last four characters
// go when the fourth-last is "."; a ".desktop" goes as a whole).
[[nodiscard]] QString shortcutDisplayName(const QByteArray &path);

} // namespace clarivex
