#pragma once

#include "core/base/utf8_text.h"

#include <QByteArray>
#include <QString>

namespace clarivex::cli {

using clarivex::decodeWithReplacement;
using clarivex::isValidUtf8;

// A name as one field of a tab-separated line: "\\" for a backslash, "\t",
// "\n" and "\r", other control bytes as "\xHH"; all other bytes as they are.
[[nodiscard]] QByteArray escapeFieldBytes(const QByteArray &bytes);

} // namespace clarivex::cli
