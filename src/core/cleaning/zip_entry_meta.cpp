#include "core/cleaning/zip_entry_meta.h"

#include <QtEndian>

#include <sys/stat.h>

namespace clarivex::cleaning {

namespace {

constexpr zip_uint16_t kNtfsField = 0x000a;
constexpr zip_uint16_t kTimeField = 0x5455;   // "UT"
constexpr zip_uint16_t kOwnerField = 0x7875;  // "ux": version 1, then sized uid and gid
constexpr zip_uint16_t kOriginField = 0x7863; // "cx": version 1, then the name's bytes
// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr qint64 kFileTimeEpoch = 116444736000000000LL;

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b) < 0 ? 1 : 0);
}

// A little-endian number of 1 to 8 bytes.
bool readSized(const zip_uint8_t *&at, const zip_uint8_t *end, quint64 &value)
{
    if (at >= end) return false;
    const int size = *at++;
    if (size < 1 || size > 8 || end - at < size) return false;
    value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | at[i];
    at += size;
    return true;
}

} // namespace

EntryMeta EntryMeta::of(const struct stat &st, qint64 modified, const QByteArray &natural,
                        const QByteArray &given)
{
    EntryMeta meta;
    meta.mode = st.st_mode;
    meta.modified = modified;
    meta.hasOwner = true;
    meta.uid = st.st_uid;
    meta.gid = st.st_gid;
    if (natural != given) meta.origin = natural;
    return meta;
}

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
    if (zip_file_extra_field_set(archive, index, kNtfsField, ZIP_EXTRA_FIELD_NEW, ntfs, sizeof ntfs,
                                 both) != 0 ||
        zip_file_extra_field_set(archive, index, kTimeField, ZIP_EXTRA_FIELD_NEW, ut, sizeof ut,
                                 both) != 0)
        return false;
    if (meta.hasOwner) {
        uchar ux[11] = {1, 4};
        qToLittleEndian<quint32>(quint32(meta.uid), ux + 2);
        ux[6] = 4;
        qToLittleEndian<quint32>(quint32(meta.gid), ux + 7);
        if (zip_file_extra_field_set(archive, index, kOwnerField, ZIP_EXTRA_FIELD_NEW, ux,
                                     sizeof ux, both) != 0)
            return false;
    }
    if (!meta.origin.isEmpty()) {
        if (meta.origin.size() > 0xFFFF - 5) return false;
        const QByteArray cx = '\x01' + meta.origin;
        if (zip_file_extra_field_set(archive, index, kOriginField, ZIP_EXTRA_FIELD_NEW,
                                     reinterpret_cast<const zip_uint8_t *>(cx.constData()),
                                     zip_uint16_t(cx.size()), ZIP_FL_CENTRAL) != 0)
            return false;
    }
    return true;
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
    const zip_uint8_t *ux =
        zip_file_extra_field_get_by_id(archive, index, kOwnerField, 0, &length, ZIP_FL_CENTRAL);
    if (!ux || length < 3) // Info-ZIP's zip leaves it empty in the central directory
        ux = zip_file_extra_field_get_by_id(archive, index, kOwnerField, 0, &length, ZIP_FL_LOCAL);
    if (ux && length >= 1 && ux[0] == 1) {
        const zip_uint8_t *at = ux + 1;
        quint64 uid = 0;
        quint64 gid = 0;
        if (readSized(at, ux + length, uid) && readSized(at, ux + length, gid) &&
            uid <= 0xFFFFFFFEu && gid <= 0xFFFFFFFEu) {
            meta.hasOwner = true;
            meta.uid = uid_t(uid);
            meta.gid = gid_t(gid);
        }
    }
    const zip_uint8_t *cx =
        zip_file_extra_field_get_by_id(archive, index, kOriginField, 0, &length, ZIP_FL_CENTRAL);
    if (cx && length >= 2 && cx[0] == 1)
        meta.origin = QByteArray(reinterpret_cast<const char *>(cx + 1), length - 1);

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
