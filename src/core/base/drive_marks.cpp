#include "core/base/drive_marks.h"

namespace clarivex {

QList<bool> driveChecks(const QByteArray &marks, qsizetype rowCount)
{
    QList<bool> checks;
    for (qsizetype row = 0; row < rowCount; ++row)
        checks.append(row < marks.size() && quint8(marks.at(row)) == 0xFF);
    return checks;
}

QByteArray driveMarks(const QList<bool> &checked)
{
    QByteArray marks;
    for (const bool on : checked)
        marks.append(char(on ? 0xFF : 0xFE));
    return marks;
}

QByteArray driveMarksFromStored(const QByteArray &stored)
{
    // 0xC3 starts the UTF-8 form of both characters and is no mark itself.
    if (!stored.contains(char(0xC3))) return stored;
    QByteArray marks;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const quint8 byte = quint8(stored.at(i));
        if (byte == 0xC3 && i + 1 < stored.size()) {
            marks.append(char(quint8(stored.at(++i)) | 0x40)); // C3 BF -> FF, C3 BE -> FE
        } else {
            marks.append(char(byte));
        }
    }
    return marks;
}

QByteArray storedOrFirstStartMarks(const QByteArray &stored)
{
    return stored.isEmpty() ? QByteArray(1, char(0xFF)) : stored;
}

} // namespace clarivex
