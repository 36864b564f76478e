#pragma once

// Moves or copies one entry into a folder without ever replacing what is
// there. On one volume the entry is renamed (renameat2 RENAME_NOREPLACE).
// Across volumes a file is copied into an unnamed file in the destination
// folder, flushed, checked for its size, given its final name without
// replacing anything, and only then is the source removed; a full or limited
// destination fails the move and leaves the source as it was. A symbolic link
// is moved or copied as the link itself.

#include "core/cleaning/entry_result.h"
#include "core/cleaning/file_copy.h"
#include "core/cleaning/file_identity.h"

#include <QByteArray>

#include <optional>

namespace clarivex::cleaning {

struct Transfer
{
    QByteArray source;
    QByteArray targetFolder;
    QByteArray targetName;                // the source's own name when empty
    bool keepSource = false;              // copy instead of move
    bool renameOnCollision = false;       // "name (2).ext" instead of failing with EEXIST
    std::optional<FileIdentity> expected; // what the source must still be
    ByteProgress progress;                // bytes of a copy; false cancels it
};

[[nodiscard]] EntryResult transferEntry(const Transfer &transfer);

} // namespace clarivex::cleaning
