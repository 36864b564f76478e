#pragma once

// Deletes an entry for good through its parent folder, never following a
// link: a symbolic link is removed as the link, and a folder only when asked,
// with everything in it, each level opened without following links.

#include "core/cleaning/entry_result.h"
#include "core/cleaning/file_identity.h"

#include <QByteArray>

#include <functional>
#include <optional>

namespace clarivex::cleaning {

[[nodiscard]] EntryResult removeEntry(const QByteArray &path, bool allowFolders,
                                      const std::optional<FileIdentity> &expected);

// Deletes the regular files of the open folder `folderFd` whose names `stale`
// picks (what a killed clean left behind); returns how many went.
int removeFilesWhere(int folderFd, const std::function<bool(const QByteArray &name)> &stale);

} // namespace clarivex::cleaning
