#pragma once

// The one-line account of a clean that the notification after an automatic
// or scheduled clean shows: "Cleaned 1,204 files, 312 MB".

#include <QString>

namespace clarivex::cleaning {

// "312 MB": bytes in the largest unit (bytes, KB, MB, GB, TB; 1024 each) that
// leaves at least 1, with one decimal below 10.
[[nodiscard]] QString byteSizeText(qint64 bytes);
// "Cleaned 1,204 files, 312 MB" ("1 file" for one).
[[nodiscard]] QString cleanedSummary(qint64 files, qint64 bytes);

} // namespace clarivex::cleaning
