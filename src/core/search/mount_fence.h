#pragma once

// Which mounts a walk may enter. No walk enters a pseudo file system (proc,
// sysfs, cgroup, devtmpfs, ...: what the drive list leaves out, see
// platform/volumes.h), and a walk told to stay on its drive does not cross
// into another mount: nested volumes are drives of their own, walked when
// they are chosen. Mounts are told apart by the kernel's mount id, so the
// subvolumes of one btrfs mount are one drive.

#include <QHash>

#include <memory>
#include <mutex>

namespace clarivex {

// What /proc/self/mountinfo said of each mount, read once and shared by the
// walks of one scan (on several threads): a walk of a branch need not read
// and parse the table again.
class MountTable
{
public:
    // Whether `mount` is a pseudo file system. The table is read when empty,
    // and read again for a mount it does not know while `reread` is false
    // (which it then sets: once per walk, for a mount made since).
    [[nodiscard]] bool isPseudo(quint64 mount, bool &reread);

private:
    std::mutex m_mutex;
    QHash<quint64, bool> m_pseudo; // mount id -> pseudo
};

class MountFence
{
public:
    // `stay`: only the start folder's mount is entered. `table`: shared with
    // other walks (a table of its own when none).
    explicit MountFence(bool stay, std::shared_ptr<MountTable> table = {})
        : m_stay(stay), m_table(table ? std::move(table) : std::make_shared<MountTable>())
    {
    }

    // The start folder's mount; false when it is a pseudo file system.
    [[nodiscard]] bool enterRoot(quint64 mount);
    // A folder on `mount` below a folder on `parentMount`.
    [[nodiscard]] bool mayEnter(quint64 parentMount, quint64 mount);

private:
    [[nodiscard]] bool isPseudo(quint64 mount);

    bool m_stay;
    quint64 m_root = 0;
    std::shared_ptr<MountTable> m_table;
    bool m_reread = false; // read again once for a mount made since
};

} // namespace clarivex
