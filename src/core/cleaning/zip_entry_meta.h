#pragma once

// What an archive entry keeps of its file beside the bytes: the Unix mode
// (file type included, in the external attributes) and the modification time
// (the NTFS extra field, to 100 ns, and the Info-ZIP "UT" field, to the
// second, which other tools read).

#include <QtGlobal>

#include <optional>

#include <sys/types.h>
#include <zip.h>

namespace clarivex::cleaning {

struct EntryMeta
{
    mode_t mode = 0;     // type and permission bits; 0 when the archive holds none
    qint64 modified = 0; // nanoseconds since 1970 UTC
};

// Writes mode and time to entry `index` of an archive being written; false on failure.
[[nodiscard]] bool writeEntryMeta(zip_t *archive, zip_uint64_t index, const EntryMeta &meta);
// Reads them back: the finest time the entry holds, its DOS time at worst.
[[nodiscard]] EntryMeta readEntryMeta(zip_t *archive, zip_uint64_t index);

} // namespace clarivex::cleaning
