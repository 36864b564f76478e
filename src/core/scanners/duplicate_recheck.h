#pragma once

// The last look before a duplicate is cleaned. A set's master is never
// cleaned, so a duplicate may go only while the master still holds the same
// data: the master must still be the file the scan listed (same device and
// inode), and the duplicate must still be its own file, listed as such, and
// equal to the master byte for byte. Otherwise removing the duplicate could
// leave no copy of the data at all.

#include "core/cleaning/file_identity.h"

#include <QByteArray>
#include <QString>

namespace clarivex {

// Empty when `duplicate` may be cleaned, else why it must be kept.
// `masterSeen` and `duplicateSeen` are what the scan listed.
[[nodiscard]] QString duplicateKeepReason(const QByteArray &master,
                                          const cleaning::FileIdentity &masterSeen,
                                          const QByteArray &duplicate,
                                          const cleaning::FileIdentity &duplicateSeen);

} // namespace clarivex
