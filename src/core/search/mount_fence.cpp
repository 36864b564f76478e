#include "core/search/mount_fence.h"

#include "core/platform/volumes.h"

#include <QFile>

namespace clarivex {

bool MountFence::enterRoot(quint64 mount)
{
    m_root = mount;
    return !isPseudo(mount);
}

bool MountFence::mayEnter(quint64 parentMount, quint64 mount)
{
    if (mount == parentMount || mount == 0) return true; // 0: the kernel cannot tell
    if (m_stay && mount != m_root) return false;
    return !isPseudo(mount);
}

bool MountFence::isPseudo(quint64 mount)
{
    return m_table->isPseudo(mount, m_reread);
}

bool MountTable::isPseudo(quint64 mount, bool &reread)
{
    if (mount == 0) return false;
    const std::lock_guard lock(m_mutex);
    auto found = m_pseudo.constFind(mount);
    if (found == m_pseudo.cend() && (m_pseudo.isEmpty() || !reread)) {
        reread = !m_pseudo.isEmpty();
        QFile file(QStringLiteral("/proc/self/mountinfo"));
        if (file.open(QIODevice::ReadOnly)) {
            for (const platform::MountEntry &entry : platform::parseMountInfo(file.readAll()))
                m_pseudo.insert(quint64(entry.mountId), platform::isPseudoFileSystem(entry));
        }
        found = m_pseudo.constFind(mount);
    }
    return found != m_pseudo.cend() && *found;
}

} // namespace clarivex
