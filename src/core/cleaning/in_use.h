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

struct UseCheck
{
    bool inUse = false; // some process holds it open, or it cannot be opened
    QString reason;     // empty when the entry may be cleaned
};

// Whether the entry may be cleaned. A symbolic link is never in use (it is
// removed as the link). When the clean reads the file (`needsRead`: a zip),
// it is opened without following a link, non-blocking, and closed at once; a
// file it may not read is then refused as unreadable, not as in use. A clean
// that only renames or unlinks needs no read access and opens nothing.
[[nodiscard]] UseCheck checkUse(const QByteArray &path, const OpenFiles &open, bool needsRead);
// The same for an entry whose identity was read just now (no second lstat).
[[nodiscard]] UseCheck checkUse(const QByteArray &path, const FileIdentity &now,
                                const OpenFiles &open, bool needsRead);
// checkUse()'s reason for a clean that reads the file.
[[nodiscard]] QString inUseReason(const QByteArray &path, const OpenFiles &open);

} // namespace clarivex::cleaning
