#include "core/cleaning/zip_entry_meta.h"

#include <QtEndian>

#include <sys/stat.h>

namespace clarivex::cleaning {

namespace {

constexpr zip_uint16_t kNtfsField = 0x000a;
constexpr zip_uint16_t kTimeField = 0x5455; // "UT"
// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr qint64 kFileTimeEpoch = 116444736000000000LL;

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b) < 0 ? 1 : 0);
}

} // namespace

bool writeEntryMeta(zip_t *archive, zip_uint64_t index, const EntryMeta &meta)
{
    const qint64 seconds = floorDiv(meta.modified, 1000000000);
    if (zip_file_set_external_attributes(archive, index, 0, ZIP_OPSYS_UNIX,
                                         zip_uint32_t(meta.mode) << 16) != 0 ||
        zip_file_set_mtime(archive, index, time_t(seconds), 0) != 0)
        return false;

    // NTFS: reserved, tag 1 of 24 bytes: modified, accessed, created.
    uchar ntfs[32] = {};
    qToLittleEndian<quint16>(1, ntfs + 4);
    qToLittleEndian<quint16>(24, ntfs + 6);
    const qint64 fileTime = kFileTimeEpoch + floorDiv(meta.modified, 100);
    for (int at : {8, 16, 24})
        qToLittleEndian<qint64>(fileTime, ntfs + at);
    // UT: flags (modification time present), then the time in seconds.
    uchar ut[5] = {1};
    qToLittleEndian<qint32>(qint32(seconds), ut + 1);
    const zip_flags_t both = ZIP_FL_LOCAL | ZIP_FL_CENTRAL;
    return zip_file_extra_field_set(archive, index, kNtfsField, ZIP_EXTRA_FIELD_NEW, ntfs,
                                    sizeof ntfs, both) == 0 &&
           zip_file_extra_field_set(archive, index, kTimeField, ZIP_EXTRA_FIELD_NEW, ut, sizeof ut,
                                    both) == 0;
}

EntryMeta readEntryMeta(zip_t *archive, zip_uint64_t index)
{
    EntryMeta meta;
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) == 0 &&
        system == ZIP_OPSYS_UNIX)
        meta.mode = mode_t(attributes >> 16);

    zip_uint16_t length = 0;
    const zip_uint8_t *ntfs =
        zip_file_extra_field_get_by_id(archive, index, kNtfsField, 0, &length, ZIP_FL_CENTRAL);
    if (ntfs && length >= 32 && qFromLittleEndian<quint16>(ntfs + 4) == 1) {
        meta.modified = (qFromLittleEndian<qint64>(ntfs + 8) - kFileTimeEpoch) * 100;
        return meta;
    }
    const zip_uint8_t *ut =
        zip_file_extra_field_get_by_id(archive, index, kTimeField, 0, &length, ZIP_FL_CENTRAL);
    if (ut && length >= 5 && (ut[0] & 1)) {
        meta.modified = qint64(qFromLittleEndian<qint32>(ut + 1)) * 1000000000;
        return meta;
    }
    zip_stat_t st;
    if (zip_stat_index(archive, index, 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME))
        meta.modified = qint64(st.mtime) * 1000000000;
    return meta;
}

} // namespace clarivex::cleaning
