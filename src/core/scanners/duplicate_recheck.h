#pragma once

// The last look before a duplicate is cleaned. A set's master is never
// cleaned, so a duplicate may go only while the master still holds the same
// data: the master must still be the file the scan listed (same device and
// inode), and the duplicate must still be its own file, listed as such, and
// equal to the master byte for byte. Otherwise removing the duplicate could
// leave no copy of the data at all.
//
// The look is taken for each duplicate at the moment it is removed, not once
// for all before the clean starts: both files are held open while they are
// compared, a file written to during the comparison (its change time moved)
// counts as changed, and the clean then acts only on the very duplicate that
// was compared (its device, inode, size and time, in `compared`). Files are
// opened without following links and without waiting (a named pipe put in a
// file's place is refused at once, never read).

#include "core/cleaning/file_identity.h"

#include <QByteArray>
#include <QString>

namespace clarivex {

struct DuplicateLook
{
    QString keepReason;              // empty: the duplicate may be cleaned
    cleaning::FileIdentity compared; // the duplicate as compared (when it may go)
};

// `masterSeen` and `duplicateSeen` are what the scan listed.
[[nodiscard]] DuplicateLook lookAtDuplicate(const QByteArray &master,
                                            const cleaning::FileIdentity &masterSeen,
                                            const QByteArray &duplicate,
                                            const cleaning::FileIdentity &duplicateSeen);

// Empty when `duplicate` may be cleaned, else why it must be kept.
[[nodiscard]] QString duplicateKeepReason(const QByteArray &master,
                                          const cleaning::FileIdentity &masterSeen,
                                          const QByteArray &duplicate,
                                          const cleaning::FileIdentity &duplicateSeen);

} // namespace clarivex
