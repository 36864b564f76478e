#pragma once

// clarivex-cli scan duplicates --clean [--dry-run]: the duplicates of every
// set are cleaned in the stored mode, as scan temp --clean cleans; a set's
// master never is. Right before each duplicate is removed it is compared
// once more, byte for byte, with its master (still the file the scan
// listed); one that no longer equals it, or whose master changed or is gone,
// is kept and named on stderr, since removing it could leave no copy of the
// data.

#include "cli/scan_clean.h"

namespace clarivex::cli {

[[nodiscard]] int cleanDuplicates(const FoundFileModel &model, const GeneralOptions &options,
                                  const CleanRequest &request);

} // namespace clarivex::cli
