#pragma once

// The FAT-losses calculator: how much space a FAT16 drive loses to cluster
// rounding. Every file's nominal size is added up, and so is the space it
// takes when rounded up to whole clusters; the difference is the loss. The
// cluster size is derived from the drive size by the FAT16 rule (at most
// 65535 clusters), not read from the drive. The sums are 64-bit.

#include "core/search/kv_find_file.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace clarivex {

// What the platform tells about a volume.
struct VolumeInfo
{
    QString label;
    quint32 serialNumber = 0;
    quint32 maximumComponentLength = 0;
    quint32 fileSystemFlags = 0; // statvfs f_flag
    QString fileSystemName;      // "FAT" for FAT16, "FAT32", "ext4", ...
};

// The volume whose root is `root` (a mount point, with or without a trailing
// "/"). Unknown volume: every text empty and every number 0.
[[nodiscard]] VolumeInfo GetVolumeInfo(const QByteArray &root);
// The first eight hexadecimal digits of a file system's UUID ("0ABC-1234"
// for FAT) as the 32-bit serial number; 0 when it holds fewer.
[[nodiscard]] quint32 SerialFromUuid(const QString &uuid);
// Block size times block count of the volume at `root`; -1 when it cannot be asked.
[[nodiscard]] qint64 GetDriveTotalBytes(const QByteArray &root);
// 2 to the power of round(log2(driveBytes / 65535)), halves to even; 0 when
// the quotient is 0 or negative.
[[nodiscard]] qint64 ClusterSizeFor(qint64 driveBytes);
// "0ABC-1234".
[[nodiscard]] QString FormatSerial(quint32 serial);
// "Serial Number:\t0ABC-1234\rFile System:\tFAT".
[[nodiscard]] QString DriveInfoText(const VolumeInfo &info);

struct FatLossTotals
{
    qint64 files = 0;
    qint64 nominal = 0; // bytes
    qint64 actual = 0;  // bytes, whole clusters
    [[nodiscard]] qint64 losses() const { return actual - nominal; }
};

// One file's share: its size, rounded up to whole clusters (an empty file takes none).
void addFileToTotals(FatLossTotals &totals, qint64 size, qint64 cluster);

class FatLossWalk
{
public:
    // Called with every folder (trailing "/") before it is read.
    std::function<void(const QByteArray &folder)> folderEntered;
    // Keeps the window alive; called often during the walk.
    std::function<void()> pump;

    // Adds up every file below `root` (links to folders are not entered,
    // unreadable folders add nothing). False when the walk was stopped or
    // `root` is not a folder; the totals then hold what was counted.
    bool run(const QByteArray &root, qint64 cluster);
    void stop();
    [[nodiscard]] const FatLossTotals &totals() const { return m_totals; }

private:
    TKvFindFile m_finder;
    FatLossTotals m_totals;
};

} // namespace clarivex
