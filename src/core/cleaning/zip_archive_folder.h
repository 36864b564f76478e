#pragma once

// The folder of an archive while a zip clean writes into it. The clean holds
// an exclusive lock on the folder (flock on the folder itself, so no lock file
// is left behind) from its first look at the archive to the removal of its
// last source: two cleans into one day's archive run one after the other, and
// neither commit can replace entries the other has checked. Under the lock,
// the temporary archives that killed cleans left beside the archive are
// removed, and the archive is kept private to its owner.

#include "core/cleaning/unique_fd.h"

#include <QByteArray>

#include <functional>

namespace clarivex::cleaning {

class ArchiveFolderLock
{
public:
    // Locks `folder`, waiting at most `waitMs` while `cancelled` (if set) says
    // no. 0, or the errno (EWOULDBLOCK when another clean kept it, ECANCELED).
    [[nodiscard]] int acquire(const QByteArray &folder, int waitMs,
                              const std::function<bool()> &cancelled);
    [[nodiscard]] int folderFd() const { return m_fd.get(); }

private:
    UniqueFd m_fd;
};

// Removes, from a folder locked as above, what killed cleans left of their
// temporary archives: "dd-MM-yyyy.zip.XXXXXX" files of this user that are
// empty or begin as a zip archive. The number removed.
int removeStaleTemporaries(int folderFd);

// Whether `name` is one of those temporary names.
[[nodiscard]] bool isTemporaryArchiveName(const QByteArray &name);

// Makes the archive private to its owner: created empty with mode 0600 when
// missing or left empty by a killed run (`created` then true: open it with ZIP_TRUNCATE, and libzip
// writes the archive with that mode), its group and other bits cleared when it is an archive of the
// user's own. 0 or errno.
[[nodiscard]] int prepareArchiveFile(const QByteArray &archive, bool &created);

} // namespace clarivex::cleaning
