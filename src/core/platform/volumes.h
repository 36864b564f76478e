#pragma once

// The machine's "drives": the user's home folder and the mounted volumes, each with its root (the
// mount point), caption, kind, label, serial number, file-system name and space figures. Pseudo
// file systems (proc, sysfs, cgroup, devpts, ...) are left out. The list can be replaced by a fixed
// one, so that tests and a user who wants to scan a plain folder as a drive see exactly the volumes
// they chose.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace clarivex::platform {

enum class VolumeKind { Removable, Fixed, Remote, CdRom, Ram };

struct Volume
{
    QByteArray root;   // mount point, raw bytes ("/", "/mnt/data")
    QByteArray device; // mount source ("/dev/sda1", "server:/share", "tmpfs")
    QString caption;   // "Data (/mnt/data)"
    VolumeKind kind = VolumeKind::Fixed;
    QString label;        // empty when the volume has none
    QString serialNumber; // the file system's UUID, empty when unknown
    QString fileSystem;   // "ext4", "FAT32", "nfs", ...
    qint64 totalBytes = 0;
    qint64 freeBytes = 0; // available to the user running the program
    qint64 clusterSize = 0;
};

// One line of /proc/self/mountinfo, decoded.
struct MountEntry
{
    QByteArray mountPoint;
    QByteArray fileSystemType;
    QByteArray source;
    int mountId = 0; // the kernel's number of the mount (statx STATX_MNT_ID)
};

[[nodiscard]] QList<MountEntry> parseMountInfo(const QByteArray &text);
// Octal escapes of mountinfo ("\040" for a blank) turned back into bytes.
[[nodiscard]] QByteArray unescapeMountField(const QByteArray &field);
[[nodiscard]] bool isPseudoFileSystem(const MountEntry &entry);
// `removable` is the block device's removable flag when known.
[[nodiscard]] VolumeKind classifyVolume(const MountEntry &entry, bool removable);
[[nodiscard]] QString volumeKindName(VolumeKind kind);
// "FAT" below 65,525 clusters, "FAT32" from there on; other names unchanged.
[[nodiscard]] QString fileSystemName(const QByteArray &type, qint64 clusterCount);
// Label or device name, then the mount point in parentheses.
[[nodiscard]] QString volumeCaption(const QString &label, const QByteArray &device,
                                    const QByteArray &root);

// Fills the space figures from statvfs; false when the folder cannot be asked.
[[nodiscard]] bool readSpace(const QByteArray &path, Volume &volume);
// The user's home folder as a drive: "Home (/home/NAME)", with the figures of
// the volume that holds it and no label. Nothing when there is no such folder.
[[nodiscard]] std::optional<Volume> homeVolume(const QList<Volume> &mounted);
[[nodiscard]] QString homeCaption(const QByteArray &home);
// A plain folder taken as a drive of its own (kind fixed, caption from its name).
[[nodiscard]] std::optional<Volume> volumeForFolder(const QByteArray &folder);

class Volumes
{
public:
    // The drives: the home folder first, then the volumes mounted now, sorted
    // by root (or the fixed list alone, when one is set).
    [[nodiscard]] static QList<Volume> list();
    // Replaces the list until clearFixedList(); an empty list means "no drives".
    static void setFixedList(const QList<Volume> &volumes);
    static void clearFixedList();
    [[nodiscard]] static bool hasFixedList();
    // The root of the volume that holds the path: the longest root that is a
    // prefix of it on a "/" boundary ("/" when no other matches).
    [[nodiscard]] static QByteArray rootOf(const QByteArray &path, const QList<QByteArray> &roots);

private:
    [[nodiscard]] static QList<Volume> readMounted();
};

} // namespace clarivex::platform
