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

// The MIME type of the file, by its name and first bytes.
[[nodiscard]] QString fileMimeType(const QByteArray &path);

// True when some application is associated with the file's type or one of
// its ancestors.
[[nodiscard]] bool hasAssociation(const QByteArray &path);

// The command of a launcher's Exec line for one file: %f and %F become the
// path, %u and %U its file URL, %c the name, %k the launcher, %% a "%"; the
// other codes are dropped. Empty when the launcher cannot be read.
[[nodiscard]] QStringList launcherCommand(const QString &desktopFile, const QString &filePath);

// The desktop's text editor for the file: the application of text/plain,
// else the first well-known editor installed. Empty when there is none.
[[nodiscard]] QStringList textEditorCommand(const QString &filePath);

} // namespace clarivex::platform
