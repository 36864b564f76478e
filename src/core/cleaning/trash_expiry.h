#pragma once

// Items already in a Trash are not cleaned like other files: moving one to
// the Trash again would leave its first record behind, and moving or zipping
// it would take it from under the file managers that list it. An item is
// removed for good, then its ".trashinfo", as the Trash itself empties.

#include "core/cleaning/entry_result.h"
#include "core/cleaning/file_identity.h"

#include <QByteArray>

#include <optional>

namespace clarivex::cleaning {

// The ".trashinfo" of `path` when `path` is an item of a Trash's "files"
// folder (the home Trash, ".Trash/$uid" or ".Trash-$uid") whose record exists.
[[nodiscard]] std::optional<QByteArray> trashRecordOf(const QByteArray &path);

// Deletes the item (the very entry expected, never through a link), then its record.
[[nodiscard]] EntryResult expungeTrashItem(const QByteArray &path, const QByteArray &infoFile,
                                           const std::optional<FileIdentity> &expected);

} // namespace clarivex::cleaning
