#pragma once

// The desktop's applications for a kind of file, by the freedesktop rules:
// the "mimeapps.list" files (the user's, then the system's) name default and
// added applications for a MIME type; otherwise an installed launcher whose
// MimeType lists it. A type's ancestors count too (a C source is text).

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace clarivex::platform {

// The launcher (.desktop file) that opens the MIME type; empty when none.
[[nodiscard]] QString associatedApplication(const QString &mimeType);

// The launcher for exactly this type, its ancestors left out (a text editor
// opens text/plain, but it is no browser for text/html); empty when none.
[[nodiscard]] QString exactApplication(const QString &mimeType);

// The MIME type of the file, by its name and first bytes.
[[nodiscard]] QString fileMimeType(const QByteArray &path);

// True when some application is associated with the file's type or one of
// its ancestors.
[[nodiscard]] bool hasAssociation(const QByteArray &path);

// The command of a launcher's Exec line for one file: %f and %F become the
// path, %u and %U its file URL, %c the name, %k the launcher, %% a "%"; the
// other codes are dropped. Empty when the launcher cannot be read.
[[nodiscard]] QStringList launcherCommand(const QString &desktopFile, const QString &filePath);

// A launcher's Name, and whether its program must run in a terminal
// (Terminal=true). Empty and false when it cannot be read.
[[nodiscard]] QString launcherName(const QString &desktopFile);
[[nodiscard]] bool launcherNeedsTerminal(const QString &desktopFile);

// The desktop's terminal as the start of a command that runs a program in it
// (the program and its arguments follow): the TERMINAL variable's program,
// else x-terminal-emulator (the terminal this system is set to use), each
// followed by "-e". Looked up in `searchPath`; empty when neither is found.
[[nodiscard]] QStringList terminalCommand(const QString &searchPath);

// The desktop's text editor for the file: the application of text/plain,
// else the first well-known editor installed. Empty when there is none.
[[nodiscard]] QStringList textEditorCommand(const QString &filePath);

} // namespace clarivex::platform
