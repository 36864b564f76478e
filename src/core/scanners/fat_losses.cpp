#include "core/scanners/fat_losses.h"

#include "core/base/path_text.h"
#include "core/platform/volumes.h"

#include <cmath>
#include <sys/statvfs.h>

namespace clarivex {

quint32 SerialFromUuid(const QString &uuid)
{
    QString digits;
    for (const QChar c : uuid) {
        if (c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            digits += c;
        if (digits.size() == 8) return digits.toUInt(nullptr, 16);
    }
    return 0;
}

VolumeInfo GetVolumeInfo(const QByteArray &root)
{
    VolumeInfo info;
    const QByteArray wanted = withoutTrailingSlashes(root);
    if (wanted.isEmpty()) return info;
    for (const platform::Volume &volume : platform::Volumes::list()) {
        if (withoutTrailingSlashes(volume.root) != wanted) continue;
        info.label = volume.label;
        info.serialNumber = SerialFromUuid(volume.serialNumber);
        info.fileSystemName = volume.fileSystem;
        struct statvfs space
        {
        };
        if (::statvfs(wanted.constData(), &space) == 0) {
            info.maximumComponentLength = quint32(space.f_namemax);
            info.fileSystemFlags = quint32(space.f_flag);
        }
        break;
    }
    return info;
}

qint64 GetDriveTotalBytes(const QByteArray &root)
{
    const QByteArray path = withoutTrailingSlashes(root);
    platform::Volume volume;
    if (path.isEmpty() || !platform::readSpace(path, volume)) return -1;
    return volume.totalBytes;
}

qint64 ClusterSizeFor(qint64 driveBytes)
{
    const qint64 quotient = driveBytes / 65535;
    if (quotient <= 0) return 0;
    // The program keeps the default rounding mode: halves go to the even neighbour.
    const double exponent = std::nearbyint(std::log2(double(quotient)));
    return qint64(1) << int(exponent);
}

QString FormatSerial(quint32 serial)
{
    const QString hex = QStringLiteral("%1").arg(serial, 8, 16, QLatin1Char('0')).toUpper();
    return hex.left(4) + QLatin1Char('-') + hex.mid(4);
}

QString DriveInfoText(const VolumeInfo &info)
{
    return QStringLiteral("Serial Number:\t") + FormatSerial(info.serialNumber) +
           QStringLiteral("\rFile System:\t") + info.fileSystemName;
}

void addFileToTotals(FatLossTotals &totals, qint64 size, qint64 cluster)
{
    ++totals.files;
    totals.nominal += size;
    if (cluster <= 0 || size <= 0) return;
    const qint64 clusters = (size + cluster - 1) / cluster;
    totals.actual += clusters * cluster;
}

bool FatLossWalk::run(const QByteArray &root, qint64 cluster)
{
    m_totals = {};
    m_finder.SetFileMask(QStringLiteral("*"));
    m_finder.SetAttributes(faReadOnly | faHidden | faSysFile | faArchive | faDirectory);
    m_finder.RecurseDirs = true;
    m_finder.Pump = pump;
    m_finder.OnChDir = [this](const QByteArray &folder, bool &) {
        if (folderEntered) folderEntered(folder);
    };
    m_finder.OnAddFile = [this, cluster](const QByteArray &, const TFindData &data, bool &) {
        addFileToTotals(m_totals, data.size, cluster);
    };
    QByteArray start = root;
    if (!start.endsWith('/')) start += '/';
    return m_finder.Execute(start);
}

void FatLossWalk::stop()
{
    m_finder.Stop();
}

} // namespace clarivex
