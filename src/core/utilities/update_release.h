#pragma once

// Where a downloaded release goes and what is handed to the desktop. The
// program never runs a release itself: a package is opened with the
// desktop's installer, anything else by showing its folder.

#include <QString>
#include <QUrl>

namespace clarivex {

// The user's download folder (XDG_DOWNLOAD_DIR, else ~/Downloads).
[[nodiscard]] QString updateDownloadFolder();

// The release's file name: the last part of its address, with a safe name
// when that part is empty or only dots.
[[nodiscard]] QString releaseFileName(const QUrl &address);

// `folder`/`name`, or, when that exists, the first free "name (2).ext",
// "name (3).ext", ... so that no file of the user is replaced.
[[nodiscard]] QString freeDownloadPath(const QString &folder, const QString &name);

// What the desktop opens: the file when it is a package its installer takes
// (Debian, RPM, Flatpak), else the folder that holds it.
[[nodiscard]] QString releaseHandOverPath(const QString &path);

} // namespace clarivex
