#pragma once

// What an archive entry keeps of its file beside the bytes: the Unix mode
// (file type included, in the external attributes), the modification time
// (the NTFS extra field, to 100 ns, and the Info-ZIP "UT" field, to the
// second, which other tools read), the owner and group (the Info-ZIP "ux"
// field), and, where the archive had to give the entry another name than its
// path gives ("a (2).tmp" beside an earlier "a.tmp"), the name it should have
// had (a field of this program's own, "cx").

#include <QByteArray>
#include <QtGlobal>

#include <optional>

#include <sys/stat.h>
#include <sys/types.h>
#include <zip.h>

namespace clarivex::cleaning {

struct EntryMeta
{
    mode_t mode = 0;       // type and permission bits; 0 when the archive holds none
    qint64 modified = 0;   // nanoseconds since 1970 UTC
    bool hasOwner = false; // whether the archive holds uid and gid
    uid_t uid = 0;
    gid_t gid = 0;
    QByteArray origin; // the entry name its path gave it; empty: its own name

    // The entry of a file as `st` shows it, given the name `given` where its
    // path gave it `natural`.
    [[nodiscard]] static EntryMeta of(const struct stat &st, qint64 modified,
                                      const QByteArray &natural, const QByteArray &given);
};

// Writes mode and time to entry `index` of an archive being written; false on failure.
[[nodiscard]] bool writeEntryMeta(zip_t *archive, zip_uint64_t index, const EntryMeta &meta);
// Reads them back: the finest time the entry holds, its DOS time at worst.
[[nodiscard]] EntryMeta readEntryMeta(zip_t *archive, zip_uint64_t index);

} // namespace clarivex::cleaning
