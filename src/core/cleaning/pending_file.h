#pragma once

// A file being written inside a folder that no name shows until it is
// complete. It is an unnamed O_TMPFILE where the file system allows one, else
// a hidden ".clarivex-XXXXXX" name that is removed again unless published.
// Publishing links it under its final name and never replaces a file that is
// already there (on a file system that can neither rename without replacing
// nor link, the final name is made with O_EXCL and filled from the hidden file), so a crash or a
// kill at any moment leaves either nothing or a hidden temporary file, never a partial file under a
// final name.

#include "core/cleaning/unique_fd.h"

#include <QByteArray>

#include <functional>

#include <sys/types.h>

namespace clarivex::cleaning {

class PendingFile
{
public:
    // errno in `error` when no file could be made in the folder.
    PendingFile(int folderFd, mode_t mode, int &error);
    ~PendingFile();
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    [[nodiscard]] int fd() const { return m_fd.get(); }
    // Gives the file `name` in its folder; 0, EEXIST when the name is taken, or errno.
    [[nodiscard]] int publish(const QByteArray &name);
    // Tries candidateName(1), (2), ... until a free one; 0 and the name taken, or errno.
    [[nodiscard]] int publishUnique(const std::function<QByteArray(int)> &candidateName,
                                    QByteArray &taken);

private:
    [[nodiscard]] int publishByCopy(const QByteArray &name);

    int m_folderFd;
    UniqueFd m_fd;
    QByteArray m_tempName; // empty for an O_TMPFILE
    bool m_published = false;
};

// Moves an existing entry to a free name in another folder of the same file
// system without replacing anything: renameat2 RENAME_NOREPLACE, or, where the
// file system lacks it, link and unlink. 0, EEXIST, EXDEV, ENOTSUP when the
// file system can do neither (some FUSE file systems), or errno.
[[nodiscard]] int renameNoReplace(int fromFd, const QByteArray &from, int toFd,
                                  const QByteArray &to);

} // namespace clarivex::cleaning
