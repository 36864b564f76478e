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

QByteArray storedOrFirstStartMarks(const QByteArray &stored)
{
    return stored.isEmpty() ? QByteArray(1, char(0xFF)) : stored;
}

} // namespace clarivex
