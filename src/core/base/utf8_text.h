#pragma once

// File names are bytes and need not be UTF-8: these tell well-formed text
// apart and decode the rest the one way every output of the program does.

#include <QByteArray>
#include <QString>

namespace clarivex {

// True when the bytes are well-formed UTF-8.
[[nodiscard]] bool isValidUtf8(const QByteArray &bytes);
// The bytes as text, each byte that is not part of a well-formed UTF-8
// character becoming one U+FFFD.
[[nodiscard]] QString decodeWithReplacement(const QByteArray &bytes);

} // namespace clarivex
