#include "core/scanners/duplicate_recheck.h"

#include "core/scanners/file_signature.h"

#include <cerrno>

namespace clarivex {

namespace {

bool isSeen(const CandidateFile &file, const cleaning::FileIdentity &seen)
{
    return seen.hasInode() && file.identity() == FileIdentity{seen.device, seen.inode};
}

} // namespace

QString duplicateKeepReason(const QByteArray &master, const cleaning::FileIdentity &masterSeen,
                            const QByteArray &duplicate,
                            const cleaning::FileIdentity &duplicateSeen)
{
    // Sets found by name alone were never read: their sizes may differ.
    if (masterSeen.size != duplicateSeen.size)
        return QStringLiteral("not the same size as its master");
    const qint64 size = duplicateSeen.size;
    errno = 0;
    const CandidateFile masterFile(master, size);
    if (!masterFile.isOpen()) {
        return errno == ENOENT ? QStringLiteral("its master is gone")
                               : QStringLiteral("its master changed since the scan");
    }
    if (!isSeen(masterFile, masterSeen))
        return QStringLiteral("its master was replaced since the scan");
    const CandidateFile file(duplicate, size);
    if (!file.isOpen() || !isSeen(file, duplicateSeen))
        return QStringLiteral("changed since the scan");
    if (file.identity() == masterFile.identity())
        return QStringLiteral("another path to its master");
    if (!sameContent(masterFile, file, size))
        return QStringLiteral("no longer equal to its master");
    return {};
}

} // namespace clarivex
