#include "core/scanners/duplicate_recheck.h"

#include "core/scanners/file_signature.h"

#include <sys/stat.h>

#include <cerrno>

namespace clarivex {

namespace {

bool isSeen(const CandidateFile &file, const cleaning::FileIdentity &seen)
{
    return seen.hasInode() && file.identity() == FileIdentity{seen.device, seen.inode};
}

struct Stamp
{
    qint64 size = -1;
    qint64 modified = 0;
    qint64 changed = 0;
    bool operator==(const Stamp &) const = default;
};

// Size, modification and change time of an open file: a write while it is
// compared moves them (the change time even when the other two are put back).
Stamp stampOf(int fd, cleaning::FileIdentity *identity = nullptr)
{
    struct stat st;
    if (::fstat(fd, &st) != 0) return {};
    if (identity) *identity = cleaning::FileIdentity::fromStat(st);
    return {st.st_size, qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

} // namespace

DuplicateLook lookAtDuplicate(const QByteArray &master, const cleaning::FileIdentity &masterSeen,
                              const QByteArray &duplicate,
                              const cleaning::FileIdentity &duplicateSeen)
{
    DuplicateLook look;
    // Sets found by name alone were never read: their sizes may differ.
    if (masterSeen.size != duplicateSeen.size) {
        look.keepReason = QStringLiteral("not the same size as its master");
        return look;
    }
    const qint64 size = duplicateSeen.size;
    errno = 0;
    const CandidateFile masterFile(master, size);
    if (!masterFile.isOpen()) {
        look.keepReason = errno == ENOENT ? QStringLiteral("its master is gone")
                                          : QStringLiteral("its master changed since the scan");
        return look;
    }
    if (!isSeen(masterFile, masterSeen)) {
        look.keepReason = QStringLiteral("its master was replaced since the scan");
        return look;
    }
    const CandidateFile file(duplicate, size);
    if (!file.isOpen() || !isSeen(file, duplicateSeen)) {
        look.keepReason = QStringLiteral("changed since the scan");
        return look;
    }
    if (file.identity() == masterFile.identity()) {
        look.keepReason = QStringLiteral("another path to its master");
        return look;
    }
    const Stamp masterBefore = stampOf(masterFile.fd());
    const Stamp fileBefore = stampOf(file.fd());
    if (!sameContent(masterFile, file, size)) {
        look.keepReason = QStringLiteral("no longer equal to its master");
        return look;
    }
    cleaning::FileIdentity compared;
    if (!(stampOf(masterFile.fd()) == masterBefore) ||
        !(stampOf(file.fd(), &compared) == fileBefore) || masterBefore.size != size) {
        look.keepReason = QStringLiteral("written to while it was compared with its master");
        return look;
    }
    look.compared = compared;
    return look;
}

QString duplicateKeepReason(const QByteArray &master, const cleaning::FileIdentity &masterSeen,
                            const QByteArray &duplicate,
                            const cleaning::FileIdentity &duplicateSeen)
{
    return lookAtDuplicate(master, masterSeen, duplicate, duplicateSeen).keepReason;
}

} // namespace clarivex
