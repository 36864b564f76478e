#pragma once

// Paths are bytes; these helpers make the text a person reads from them.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace clarivex {

// UTF-8 decoded; a byte that is not part of valid UTF-8 is shown as "\xNN",
// so a name in an old 8-bit encoding stays readable and tells what it holds.
[[nodiscard]] QString displayText(QByteArrayView bytes);

// Byte-wise comparison with only the letters a to z folded to upper case
// (negative, 0, positive), so "_" sorts after the letters.
[[nodiscard]] int compareFoldedAscii(QByteArrayView a, QByteArrayView b);
// The same rule for texts: only A to Z fold, everything else by code unit.
[[nodiscard]] int compareFoldedAscii(const QString &a, const QString &b);
// Two paths, each given as a folder and a name, compared as the paths they
// make (folded by the same rule when `foldCase`), without making them.
[[nodiscard]] int comparePathPieces(QByteArrayView folderA, QByteArrayView nameA,
                                    QByteArrayView folderB, QByteArrayView nameB, bool foldCase);

// The path without trailing "/" ("/" itself stays as it is).
[[nodiscard]] QByteArray withoutTrailingSlashes(QByteArray path);

} // namespace clarivex
