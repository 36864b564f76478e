#pragma once

#include <QByteArray>
#include <QString>

namespace clarivex::cli {

// True when the bytes are well-formed UTF-8.
[[nodiscard]] bool isValidUtf8(const QByteArray &bytes);
// The bytes as text, each byte that is not part of a well-formed UTF-8
// character becoming one U+FFFD.
[[nodiscard]] QString decodeWithReplacement(const QByteArray &bytes);

// A name as one field of a tab-separated line: "\\" for a backslash, "\t",
// "\n" and "\r", other control bytes as "\xHH"; all other bytes as they are.
[[nodiscard]] QByteArray escapeFieldBytes(const QByteArray &bytes);

} // namespace clarivex::cli
