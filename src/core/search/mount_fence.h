#pragma once

// Which mounts a walk may enter. No walk enters a pseudo file system (proc,
// sysfs, cgroup, devtmpfs, ...: what the drive list leaves out, see
// platform/volumes.h), and a walk told to stay on its drive does not cross
// into another mount: nested volumes are drives of their own, walked when
// they are chosen. Mounts are told apart by the kernel's mount id, so the
// subvolumes of one btrfs mount are one drive.

#include <QHash>

namespace clarivex {

class MountFence
{
public:
    // `stay`: only the start folder's mount is entered.
    explicit MountFence(bool stay) : m_stay(stay) {}

    // The start folder's mount; false when it is a pseudo file system.
    [[nodiscard]] bool enterRoot(quint64 mount);
    // A folder on `mount` below a folder on `parentMount`.
    [[nodiscard]] bool mayEnter(quint64 parentMount, quint64 mount);

private:
    [[nodiscard]] bool isPseudo(quint64 mount);

    bool m_stay;
    quint64 m_root = 0;
    QHash<quint64, bool> m_pseudo; // mount id -> pseudo, from /proc/self/mountinfo
    bool m_reread = false;         // read again once for a mount made since
};

} // namespace clarivex
