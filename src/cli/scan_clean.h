#pragma once

// clarivex-cli scan temp --clean: after the scan every found file is cleaned
// in the stored mode (DeleteType and its folders) with no question, as the
// automatic clean after a scan does. One line per file says what became of
// it; files in use are listed and kept. --dry-run checks every file and says
// what would be done, touching nothing. The summary line ("Cleaned: N of M
// files") follows in plain output only, and not with --quiet.

#include "core/base/settings_types.h"

#include <QList>

namespace clarivex {
class FoundFileModel;
}

namespace clarivex::cli {

struct CleanRequest
{
    bool dryRun = false;
    bool json = false;
    bool quiet = false; // no summary line
};

// Cleans (or, dry, checks) the rows of the model's current scan and run, by
// the rules of an automatic clean. ExitOk when every file was (or would be)
// cleaned, ExitFailed when some were not.
[[nodiscard]] int cleanFound(const FoundFileModel &model, const GeneralOptions &options,
                             const CleanRequest &request);
// The same for the given rows alone. `keptBefore` files the caller already
// decided to keep (and reported) count in the summary's total and make the
// result ExitFailed.
[[nodiscard]] int cleanFoundRows(const FoundFileModel &model, const QList<int> &rowsToClean,
                                 qsizetype keptBefore, const GeneralOptions &options,
                                 const CleanRequest &request);

} // namespace clarivex::cli
