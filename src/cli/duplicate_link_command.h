#pragma once

// clarivex-cli scan duplicates --clean --link hard|reflink [--dry-run]: every
// duplicate the clean would take is replaced by a link to its set's master
// instead (core/scanners/duplicate_link_clean.h), after a byte-for-byte
// comparison right before. One line per file: "linked: PATH -> MASTER",
// "kept: PATH (why)" or "failed: PATH (why)"; files the clean's rules keep
// (a set's last copy, a reference folder's file) are named on stderr.
// --dry-run looks and compares, and changes nothing.

#include "cli/scan_clean.h"
#include "core/cleaning/duplicate_link.h"

namespace clarivex::cli {

[[nodiscard]] int linkDuplicates(const FoundFileModel &model, cleaning::LinkKind kind,
                                 const CleanRequest &request);

} // namespace clarivex::cli
