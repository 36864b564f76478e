#pragma once

// What reading a shortcut gives: its target and the other facts it holds, as
// far as its format holds them. Three kinds of shortcut are read, each by its
// own parser: .desktop launchers, symbolic links and .lnk files.

#include <QByteArray>
#include <QString>

namespace clarivex {

enum class ShortcutKind : quint8 { DesktopApplication, DesktopLink, SymbolicLink, ShellLink };

struct TShortcutInfo
{
    QString target;           // the target path; empty when it names no file
    QString workingDirectory; // the folder the target starts in
    QString arguments;        // command-line arguments
    QString description;      // empty in the file: the shortcut's name without extension
    QString iconPath;
    qint32 iconIndex = 0;
    QString folder;       // the shortcut file's folder, ending with "/"
    quint8 showState = 0; // 0 normal, 1 minimised, 2 maximised
    QString tryExec;      // launchers: the TryExec program, resolved; else empty
    ShortcutKind kind = ShortcutKind::ShellLink;
};

// The largest shortcut file read; a bigger one is not a shortcut.
inline constexpr qint64 kMaxShortcutFileSize = 1024 * 1024;

} // namespace clarivex
