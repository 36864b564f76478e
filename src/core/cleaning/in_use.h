#pragma once

// The in-use test of a clean. A file is in use when it cannot be opened for
// reading, or when some process holds it open. The second test reads the open
// files of every process once (/proc/*/fd) at the start of a clean; processes
// that the program may not look into are not seen.

#include "core/cleaning/file_identity.h"

#include <QByteArray>
#include <QSet>

#include <utility>

namespace clarivex::cleaning {

class OpenFiles
{
public:
    // One pass over the processes under `procRoot`.
    [[nodiscard]] static OpenFiles snapshot(const QByteArray &procRoot = "/proc");

    [[nodiscard]] bool isOpen(dev_t device, ino_t inode) const
    {
        return m_open.contains({quint64(device), quint64(inode)});
    }
    [[nodiscard]] qsizetype size() const { return m_open.size(); }

private:
    QSet<std::pair<quint64, quint64>> m_open;
};

// Empty when the entry may be cleaned, else why it is in use. A symbolic link
// is never in use (it is removed as the link); a file is opened without
// following a link, non-blocking, and closed at once.
[[nodiscard]] QString inUseReason(const QByteArray &path, const OpenFiles &open);

} // namespace clarivex::cleaning
