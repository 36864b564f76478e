#include "core/platform/single_instance.h"

#include "core/platform/copy_data.h"
#include "core/platform/runtime_folder.h"

#include <QLockFile>

namespace clarivex::platform {

InstanceMarker::InstanceMarker(const QString &title) : m_title(title) {}

InstanceMarker::~InstanceMarker() = default;

QString InstanceMarker::lockPath() const
{
    const auto folder = runtimeFolder();
    return folder ? *folder + m_title + QStringLiteral(".lock") : QString();
}

bool InstanceMarker::holdsMarker() const
{
    return m_lock && m_lock->isLocked();
}

bool InstanceMarker::CheckPreviousInstance(bool activate)
{
    if (holdsMarker()) return false;
    const QString path = lockPath();
    if (path.isEmpty()) return false;
    auto lock = std::make_unique<QLockFile>(path);
    // A lock is stale only when its process is gone, never because of its age:
    // the first instance may run for weeks.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        m_lock = std::move(lock);
        return false;
    }
    if (lock->error() != QLockFile::LockFailedError)
        return false; // the folder cannot hold a lock: start rather than refuse
    if (activate) requestComeForward();
    return true;
}

bool CheckPreviousInstance(bool activate)
{
    static InstanceMarker marker;
    return marker.CheckPreviousInstance(activate);
}

bool requestComeForward(int timeoutMs)
{
    return sendCopyData(QString::fromLatin1(kMainWindowClass), comeForwardBlock(), timeoutMs)
        .delivered();
}

} // namespace clarivex::platform
