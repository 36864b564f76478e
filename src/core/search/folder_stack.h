#pragma once

// The open folders along the path a walk is on, from its start folder down to
// the folder being read. Each level is opened relative to the one above it,
// so no path is ever longer than one name, whatever the depth.
//
// Descriptors are bounded: at most `budget` levels are open at once, and
// fewer when the process runs out (EMFILE, ENFILE). The shallowest open
// levels are closed first; a closed level is opened again on the way back up
// through ".." of the level below it, and taken only when it is the same
// folder (device and inode) as before. Were it moved meanwhile, it is reached
// again by its names from the nearest open level above.

#include <QByteArray>
#include <QtGlobal>

#include <sys/types.h>

#include <vector>

namespace clarivex {

class FolderStack
{
public:
    explicit FolderStack(int budget = 64);
    ~FolderStack();
    FolderStack(const FolderStack &) = delete;
    FolderStack &operator=(const FolderStack &) = delete;

    // Opens the start folder; false (errno set) when it cannot be.
    [[nodiscard]] bool openRoot(const QByteArray &path);
    // Opens the subfolder `name` of the deepest level without following a
    // link and makes it the deepest; false with errno set when it cannot be.
    [[nodiscard]] bool push(const char *name);
    // Leaves the deepest level; the one above it is open again afterwards,
    // unless it cannot be reached any more (false).
    bool pop();
    // Closes the shallowest open level that the walk does not need right
    // now; false when none is left to close.
    bool releaseOne();

    [[nodiscard]] int top() const { return m_levels.back().fd; }
    [[nodiscard]] dev_t topDevice() const { return m_levels.back().device; }
    [[nodiscard]] ino_t topInode() const { return m_levels.back().inode; }
    // The mount the deepest level lies on (0 where the kernel cannot tell).
    [[nodiscard]] quint64 topMount() const { return m_levels.back().mount; }
    [[nodiscard]] quint64 parentMount() const
    {
        return m_levels.size() < 2 ? 0 : m_levels[m_levels.size() - 2].mount;
    }
    [[nodiscard]] size_t depth() const { return m_levels.size(); }
    [[nodiscard]] int openCount() const { return m_open; }

private:
    struct Level
    {
        int fd = -1;
        dev_t device = 0;
        ino_t inode = 0;
        quint64 mount = 0;
        QByteArray name; // as opened from the level above (the path for the root)
    };
    [[nodiscard]] int openBelow(size_t parent, const char *name);
    bool releaseOneBut(size_t keep);
    [[nodiscard]] bool reopen(size_t index);
    [[nodiscard]] bool adopt(size_t index, int fd);
    void closeLevel(Level &level);

    std::vector<Level> m_levels;
    int m_budget;
    int m_open = 0;
};

} // namespace clarivex
