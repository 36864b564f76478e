#pragma once

// Replaces a duplicate by a link to its set's master, so that both paths
// stay and the space of one copy is freed:
//
//   - Hard: the duplicate's name becomes another name of the master's file.
//     One file has one mode, owner and set of times, so a hard link is made
//     only where nothing the user sees changes: the duplicate has the
//     master's owner, group and permission bits, the master belongs to the
//     user running the clean and may be written by its owner (a read-only
//     master, or another user's file, would gain a name the user did not
//     expect to share it). The duplicate's own modification time is kept in
//     the clean history, and Undo gives it back.
//   - Reflink: a new file that shares the master's blocks (FICLONE, on file
//     systems that can: btrfs, XFS), given the duplicate's own mode, owner
//     and times; where the owner cannot be kept it is not made.
//
// Never across volumes, never where either path is a symbolic link or not a
// regular file. The order of one replacement:
//
//   master opened (not through a link), its size and times noted
//   ──> the caller's byte-for-byte comparison of duplicate and master
//   ──> the link (or clone) made under a temporary name in the duplicate's
//       folder: ".clarivex-link-<pid>.<n>"
//   ──> master and duplicate looked at once more: both unchanged since
//       before the comparison (size, modification and change time)
//   ──> the temporary renamed over the duplicate (one atomic step)
//
// Any failure before the rename removes the temporary and leaves the
// duplicate as it was. A temporary left by a process that was killed (its
// pid no longer runs) holds nothing of value (the duplicate was still in
// place) and is removed by the next replacement in that folder.

#include "core/cleaning/file_identity.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace clarivex::cleaning {

enum class LinkKind : quint8 { Hard = 0, Reflink = 1 };

[[nodiscard]] QString linkKindName(LinkKind kind); // "hard", "reflink"
[[nodiscard]] std::optional<LinkKind> linkKindFromName(const QString &name);

struct LinkRequest
{
    QByteArray master;
    FileIdentity masterSeen; // as the scan listed it
    QByteArray duplicate;
    FileIdentity duplicateSeen;
    LinkKind kind = LinkKind::Hard;
    bool dryRun = false; // every look and the comparison, and nothing made
};

struct LinkResult
{
    bool replaced = false;
    int error = 0;        // the system's errno when it said no, else 0
    QString reason;       // why the duplicate was kept (empty when replaced)
    FileIdentity before;  // the duplicate as compared
    FileIdentity now;     // the entry at the duplicate's path after the replacement
    bool refused = false; // kept on purpose (another volume, owner, changed...), not a failure
};

// The byte-for-byte comparison: empty when the duplicate still equals its
// master, else why not; `compared` receives the duplicate as compared.
using ContentCheck = std::function<QString(FileIdentity &compared)>;

// Test hook: called right before the rename, with the folder and the
// temporary's name; false leaves the temporary behind and gives up, as a
// process killed at that moment would.
using BeforeRename = std::function<bool(int folderFd, const QByteArray &temporary)>;

[[nodiscard]] LinkResult replaceWithLink(const LinkRequest &request, const ContentCheck &check,
                                         const BeforeRename &beforeRename = {});

// ".clarivex-link-<pid>.<n>": a temporary of a replacement.
[[nodiscard]] bool isLinkTemporary(const QByteArray &name);
// Removes from the folder the temporaries of processes no longer running;
// the number removed.
int removeStaleLinkTemporaries(int folderFd);

} // namespace clarivex::cleaning
