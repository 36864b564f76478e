#pragma once

// Drive marks ("SelectedDrives"): one byte per row of a drive list, 0xFF for
// a checked drive and 0xFE for an unchecked one, matched by position. Rows
// beyond the marks are unchecked.

#include <QByteArray>
#include <QList>

namespace clarivex {

[[nodiscard]] QList<bool> driveChecks(const QByteArray &marks, qsizetype rowCount);
[[nodiscard]] QByteArray driveMarks(const QList<bool> &checked);
// The marks from the stored text. Earlier versions stored each mark as the
// character U+00FF or U+00FE (two bytes in UTF-8); both forms read alike.
[[nodiscard]] QByteArray driveMarksFromStored(const QByteArray &stored);
// The marks to apply: the stored ones, or, on a first start (none stored),
// the first row alone, which is the user's home folder.
[[nodiscard]] QByteArray storedOrFirstStartMarks(const QByteArray &stored);

} // namespace clarivex
