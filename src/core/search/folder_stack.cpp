#include "core/search/folder_stack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace clarivex {

namespace {
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool outOfDescriptors(int error)
{
    return error == EMFILE || error == ENFILE;
}
} // namespace

FolderStack::FolderStack(int budget) : m_budget(std::max(budget, 3)) {}

FolderStack::~FolderStack()
{
    for (Level &level : m_levels)
        closeLevel(level);
}

void FolderStack::closeLevel(Level &level)
{
    if (level.fd < 0) return;
    ::close(level.fd);
    level.fd = -1;
    --m_open;
}

bool FolderStack::releaseOne()
{
    return releaseOneBut(m_levels.size());
}

bool FolderStack::releaseOneBut(size_t keep)
{
    // The deepest level is being read; every other one can be opened again.
    for (size_t i = 0; i + 1 < m_levels.size(); ++i) {
        if (i != keep && m_levels[i].fd >= 0) {
            closeLevel(m_levels[i]);
            return true;
        }
    }
    return false;
}

// openat below the level `parent` (the start path for none), making room
// when the budget or the process's limit is reached; `parent` stays open.
int FolderStack::openBelow(size_t parent, const char *name)
{
    if (m_open >= m_budget) (void)releaseOneBut(parent);
    for (;;) {
        const int dirFd = parent < m_levels.size() ? m_levels[parent].fd : AT_FDCWD;
        const int fd = ::openat(dirFd, name, kFolderFlags);
        if (fd >= 0 || !outOfDescriptors(errno) || !releaseOneBut(parent)) return fd;
    }
}

bool FolderStack::adopt(size_t index, int fd)
{
    Level &level = m_levels[index];
    struct statx st;
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID, &st) != 0) {
        ::close(fd);
        return false;
    }
    const dev_t device = makedev(st.stx_dev_major, st.stx_dev_minor);
    if (level.device && (device != level.device || st.stx_ino != level.inode)) {
        ::close(fd);
        return false;
    }
    level.fd = fd;
    level.device = device;
    level.inode = ino_t(st.stx_ino);
    level.mount = (st.stx_mask & STATX_MNT_ID) ? quint64(st.stx_mnt_id) : 0;
    ++m_open;
    return true;
}

bool FolderStack::openRoot(const QByteArray &path)
{
    m_levels.push_back({-1, 0, 0, 0, path});
    const int fd = openBelow(m_levels.size(), path.constData());
    if (fd >= 0 && adopt(0, fd)) return true;
    m_levels.pop_back();
    return false;
}

bool FolderStack::push(const char *name)
{
    if (m_levels.back().fd < 0) {
        errno = ESTALE; // the folder above could not be reached again
        return false;
    }
    const int fd = openBelow(m_levels.size() - 1, name);
    if (fd < 0) return false;
    m_levels.push_back({-1, 0, 0, 0, QByteArray(name)});
    if (adopt(m_levels.size() - 1, fd)) return true;
    m_levels.pop_back();
    errno = EIO;
    return false;
}

// Opens a closed level again: through ".." of the level below when that is
// open, else by names from the nearest open level above (or the start path).
bool FolderStack::reopen(size_t index)
{
    if (index + 1 < m_levels.size() && m_levels[index + 1].fd >= 0) {
        const int fd = openBelow(index + 1, "..");
        if (fd >= 0 && adopt(index, fd)) return true;
    }
    size_t from = index;
    while (from > 0 && m_levels[from - 1].fd < 0)
        --from;
    // Levels from..index are closed; from - 1 is open (or from is the root).
    for (size_t i = from; i <= index; ++i) {
        const int fd = openBelow(i == 0 ? m_levels.size() : i - 1, m_levels[i].name.constData());
        if (fd < 0 || !adopt(i, fd)) return false;
        if (i > from) closeLevel(m_levels[i - 1]); // only the target stays open
    }
    return true;
}

bool FolderStack::pop()
{
    const size_t parent = m_levels.size() - 2;
    const bool reached = m_levels.size() < 2 || m_levels[parent].fd >= 0 || reopen(parent);
    closeLevel(m_levels.back());
    m_levels.pop_back();
    return reached;
}

} // namespace clarivex
