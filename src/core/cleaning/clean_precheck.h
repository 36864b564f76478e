#pragma once

// What a clean's dry run checks beyond the checks of a real clean, so that it
// promises only what the real run would do: the file's folder can be written
// (its volume is not mounted read-only, the user may write it), neither the
// file nor its folder is immutable or append-only, and in Trash mode a Trash
// on the file's volume is there or can be made. Nothing is changed or made.

#include "core/cleaning/trash.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace clarivex::cleaning {

// Why the real clean would refuse the file; empty when nothing stands in its
// way. `trash`: the Trash places in Trash mode, unset in the other modes.
[[nodiscard]] QString cleanRefusal(const QByteArray &path, const std::optional<TrashPlaces> &trash);

// Why a move or zip clean could not write to `folder` (the backup folder),
// made if missing: the nearest folder of its path that exists must be
// writable on a writable volume. Empty when nothing stands in the way.
[[nodiscard]] QString backupFolderRefusal(const QByteArray &folder);

} // namespace clarivex::cleaning
