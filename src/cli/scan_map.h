#pragma once

// --map FILE.svg of the scan commands: the found files as a treemap picture.

#include <QByteArray>

#include <functional>
#include <optional>

class QColor;

namespace clarivex {
class FoundFileModel;
struct FoundFileRow;
} // namespace clarivex

namespace clarivex::cli {

// The colour key of a row (its group or set), or none for the default colour.
using MapKey = std::function<std::optional<int>(const FoundFileRow &)>;

// Writes the map of `model` to `fileName`. Exit code: 0, or 1 with a line on
// stderr when the file could not be written.
[[nodiscard]] int writeScanMap(const FoundFileModel &model, const QByteArray &fileName,
                               const MapKey &key);

} // namespace clarivex::cli
