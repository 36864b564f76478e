#pragma once

// A folder path shortened to fit a width, for status texts:
//   /home/ann/photos/2026/   ->  /.../photos/2026/  ->  /.../2026/
//   ->  .../2026/  ->  2026/  ->  then cut at the right with an ellipsis.
// The last folder stays readable as long as anything does.

#include <QString>

class QFontMetrics;

namespace clarivex::ui {

[[nodiscard]] QString MinimizeFolderPath(const QString &path, const QFontMetrics &metrics,
                                         int maxWidth);

} // namespace clarivex::ui
