#pragma once

// One found file as a JSON object, the form every structured output of the
// program shares (clarivex-cli's --json rows, the list saved as JSON): "name",
// "folder", "size", "modified" (ISO 8601) and "attributes"; where the row
// came from: "scan", "run" (rows of one run share it), "trigger" ("user",
// "scheduled", "cli") and "run_began"; for a duplicate its "set" and "role"
// ("master" or "duplicate"). Names
// that are not UTF-8 are decoded with U+FFFD per bad byte, and the exact bytes
// of the full path travel as "path_base64".

#include "core/search/found_file_model.h"

#include <QJsonObject>

namespace clarivex {

[[nodiscard]] QJsonObject foundRowJson(const FoundFileModel &model, int row);

// A found file's time (ns since 1970) as ISO 8601 local time with its offset.
[[nodiscard]] QString isoDateTime(qint64 nanoseconds);

} // namespace clarivex
