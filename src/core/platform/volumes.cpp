#include "core/platform/volumes.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace clarivex::platform {

namespace {

QMutex g_fixedMutex;
std::optional<QList<Volume>> g_fixed;

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

QByteArray canonical(const QByteArray &path)
{
    char buffer[PATH_MAX];
    if (!::realpath(path.constData(), buffer)) return path;
    return QByteArray(buffer);
}

// udev escapes unsafe characters of a label as "\xNN".
QString decodeUdevName(const QByteArray &name)
{
    QByteArray out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            bool ok = false;
            const int value = name.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(name[i]);
    }
    return QString::fromUtf8(out);
}

// Device (canonical path) -> link name in one of the /dev/disk/by-* folders.
QHash<QByteArray, QString> readDiskLinks(const char *folder)
{
    QHash<QByteArray, QString> links;
    const QDir dir(QString::fromLatin1(folder));
    const QStringList names = dir.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QByteArray link = QFile::encodeName(dir.filePath(name));
        links.insert(canonical(link), decodeUdevName(QFile::encodeName(name)));
    }
    return links;
}

bool readRemovableFlag(const QByteArray &device)
{
    if (!device.startsWith("/dev/")) return false;
    const QByteArray name = device.mid(int(device.lastIndexOf('/')) + 1);
    QByteArray sysPath = canonical("/sys/class/block/" + name);
    // A partition's flag is its disk's: look in the partition's folder, then its parent's.
    for (int level = 0; level < 2 && sysPath.startsWith("/sys/"); ++level) {
        QFile flag(QFile::decodeName(sysPath + "/removable"));
        if (flag.open(QIODevice::ReadOnly)) return flag.readAll().trimmed() == "1";
        sysPath = sysPath.left(sysPath.lastIndexOf('/'));
    }
    return false;
}

bool underFolder(const QByteArray &path, const QByteArray &folder)
{
    return path == folder || path.startsWith(folder + '/');
}

} // namespace

QByteArray unescapeMountField(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            out.append(char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                            (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return out;
}

QList<MountEntry> parseMountInfo(const QByteArray &text)
{
    // id parent major:minor root mount-point options [optional...] - type source super-options
    QList<MountEntry> entries;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf(QByteArray("-"));
        if (fields.size() < 5 || dash < 6 || dash + 2 >= fields.size()) continue;
        MountEntry entry;
        entry.mountId = fields[0].toInt();
        entry.mountPoint = unescapeMountField(fields[4]);
        entry.fileSystemType = unescapeMountField(fields[dash + 1]);
        entry.source = unescapeMountField(fields[dash + 2]);
        if (entry.mountPoint.startsWith('/')) entries.append(entry);
    }
    return entries;
}

bool isPseudoFileSystem(const MountEntry &entry)
{
    static const QList<QByteArray> pseudo = {
        "proc",       "sysfs",    "cgroup",    "cgroup2",         "devpts",      "devtmpfs",
        "securityfs", "debugfs",  "tracefs",   "pstore",          "bpf",         "configfs",
        "fusectl",    "mqueue",   "hugetlbfs", "autofs",          "binfmt_misc", "rpc_pipefs",
        "nsfs",       "efivarfs", "selinuxfs", "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs",
        "nfsd",       "rootfs"};
    if (pseudo.contains(entry.fileSystemType)) return true;
    // Kernel and runtime folders hold only the system's own scratch mounts.
    for (const char *system : {"/proc", "/sys", "/dev", "/run"}) {
        if (underFolder(entry.mountPoint, system) && !underFolder(entry.mountPoint, "/run/media"))
            return true;
    }
    // Read-only package images (snaps) are not drives a user cleans.
    return entry.fileSystemType == "squashfs";
}

VolumeKind classifyVolume(const MountEntry &entry, bool removable)
{
    static const QList<QByteArray> remote = {"nfs",        "nfs4",  "cifs",        "smb3",  "smbfs",
                                             "fuse.sshfs", "sshfs", "9p",          "afs",   "ceph",
                                             "glusterfs",  "davfs", "fuse.rclone", "ncpfs", "coda"};
    const QByteArray &type = entry.fileSystemType;
    if (remote.contains(type)) return VolumeKind::Remote;
    if (type == "iso9660" || type == "udf") return VolumeKind::CdRom;
    if (type == "tmpfs" || type == "ramfs") return VolumeKind::Ram;
    if (removable || underFolder(entry.mountPoint, "/media") ||
        underFolder(entry.mountPoint, "/run/media"))
        return VolumeKind::Removable;
    return VolumeKind::Fixed;
}

QString volumeKindName(VolumeKind kind)
{
    switch (kind) {
    case VolumeKind::Removable:
        return QStringLiteral("removable");
    case VolumeKind::Fixed:
        return QStringLiteral("fixed");
    case VolumeKind::Remote:
        return QStringLiteral("remote");
    case VolumeKind::CdRom:
        return QStringLiteral("CD-ROM");
    case VolumeKind::Ram:
        return QStringLiteral("RAM");
    }
    return {};
}

QString fileSystemName(const QByteArray &type, qint64 clusterCount)
{
    if (type == "vfat" || type == "msdos" || type == "fat")
        return clusterCount < 65525 ? QStringLiteral("FAT") : QStringLiteral("FAT32");
    return QString::fromUtf8(type);
}

QString volumeCaption(const QString &label, const QByteArray &device, const QByteArray &root)
{
    QString name = label;
    if (name.isEmpty()) name = QFile::decodeName(device.mid(device.lastIndexOf('/') + 1));
    if (name.isEmpty()) name = QFile::decodeName(device);
    return name + QStringLiteral(" (") + QFile::decodeName(root) + QLatin1Char(')');
}

bool readSpace(const QByteArray &path, Volume &volume)
{
    struct statvfs info
    {
    };
    if (::statvfs(path.constData(), &info) != 0) return false;
    const qint64 unit = qint64(info.f_frsize ? info.f_frsize : info.f_bsize);
    volume.totalBytes = qint64(info.f_blocks) * unit;
    volume.freeBytes = qint64(info.f_bavail) * unit;
    volume.clusterSize = unit;
    return true;
}

std::optional<Volume> volumeForFolder(const QByteArray &folder)
{
    QByteArray root = folder;
    while (root.size() > 1 && root.endsWith('/'))
        root.chop(1);
    Volume volume;
    volume.root = root;
    volume.device = root;
    if (!readSpace(root, volume)) return std::nullopt;
    volume.kind = VolumeKind::Fixed;
    volume.fileSystem = QStringLiteral("folder");
    volume.caption = volumeCaption({}, root, root);
    return volume;
}

QList<Volume> Volumes::readMounted()
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QList<MountEntry> entries = parseMountInfo(file.readAll());
    const auto labels = readDiskLinks("/dev/disk/by-label");
    const auto uuids = readDiskLinks("/dev/disk/by-uuid");

    // A later mount on the same point hides the earlier one.
    QHash<QByteArray, qsizetype> byRoot;
    QList<Volume> volumes;
    for (const MountEntry &entry : entries) {
        if (isPseudoFileSystem(entry)) continue;
        Volume volume;
        volume.root = entry.mountPoint;
        volume.device = entry.source;
        const QByteArray device =
            entry.source.startsWith("/dev/") ? canonical(entry.source) : entry.source;
        volume.label = labels.value(device);
        volume.serialNumber = uuids.value(device);
        volume.kind = classifyVolume(entry, readRemovableFlag(device));
        if (!readSpace(volume.root, volume)) continue; // gone, or not ours to ask
        const qint64 clusters = volume.clusterSize ? volume.totalBytes / volume.clusterSize : 0;
        volume.fileSystem = fileSystemName(entry.fileSystemType, clusters);
        volume.caption = volumeCaption(volume.label, entry.source, volume.root);
        if (const auto found = byRoot.constFind(volume.root); found != byRoot.cend()) {
            volumes[*found] = volume;
        } else {
            byRoot.insert(volume.root, volumes.size());
            volumes.append(volume);
        }
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const Volume &a, const Volume &b) { return a.root < b.root; });
    return volumes;
}

std::optional<Volume> homeVolume(const QList<Volume> &mounted)
{
    QByteArray home = QFile::encodeName(QDir::homePath());
    while (home.size() > 1 && home.endsWith('/'))
        home.chop(1);
    struct stat info
    {
    };
    if (home.isEmpty() || ::stat(home.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return std::nullopt;
    QList<QByteArray> roots;
    for (const Volume &volume : mounted)
        roots.append(volume.root);
    // The facts of the volume that holds it, under its own root and caption.
    Volume volume;
    const QByteArray holder = Volumes::rootOf(home, roots);
    for (const Volume &candidate : mounted) {
        if (candidate.root == holder) volume = candidate;
    }
    volume.root = home;
    volume.label.clear();
    volume.caption = homeCaption(home);
    if (!readSpace(home, volume)) return std::nullopt;
    return volume;
}

QString homeCaption(const QByteArray &home)
{
    return QStringLiteral("Home (") + QFile::decodeName(home) + QLatin1Char(')');
}

QList<Volume> Volumes::list()
{
    {
        QMutexLocker lock(&g_fixedMutex);
        if (g_fixed) return *g_fixed;
    }
    QList<Volume> volumes = readMounted();
    if (const auto home = homeVolume(volumes)) volumes.prepend(*home);
    return volumes;
}

void Volumes::setFixedList(const QList<Volume> &volumes)
{
    QMutexLocker lock(&g_fixedMutex);
    g_fixed = volumes;
}

void Volumes::clearFixedList()
{
    QMutexLocker lock(&g_fixedMutex);
    g_fixed.reset();
}

bool Volumes::hasFixedList()
{
    QMutexLocker lock(&g_fixedMutex);
    return g_fixed.has_value();
}

QByteArray Volumes::rootOf(const QByteArray &path, const QList<QByteArray> &roots)
{
    QByteArray best;
    for (const QByteArray &root : roots) {
        if (root.size() <= best.size()) continue;
        const bool matches = root == "/" ? path.startsWith('/')
                                         : (path.startsWith(root) && (path.size() == root.size() ||
                                                                      path[root.size()] == '/'));
        if (matches) best = root;
    }
    return best.isEmpty() ? QByteArray("/") : best;
}

} // namespace clarivex::platform
