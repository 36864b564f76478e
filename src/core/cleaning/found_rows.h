#pragma once

// The rows of a found-file list as a clean takes them: each file's path and
// what the scan saw of it (device, inode, kind, size, modification time), so
// that the clean acts only on the very file that was listed.

#include "core/cleaning/clean_operation.h"

#include <QList>

namespace clarivex {
class FoundFileModel;
}

namespace clarivex::cleaning {

[[nodiscard]] FileIdentity seenIdentity(const FoundFileModel &model, int row);
// The given rows (separators left out) in their order.
[[nodiscard]] QList<CleanRow> cleanRowsOf(const FoundFileModel &model, const QList<int> &rows);

} // namespace clarivex::cleaning
