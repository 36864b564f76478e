#include "core/cleaning/clean_summary.h"

#include "core/base/formats.h"

#include <QLocale>

namespace clarivex::cleaning {

QString byteSizeText(qint64 bytes)
{
    static const char *const kUnits[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024) return QStringLiteral("%1 bytes").arg(qMax<qint64>(bytes, 0));
    double value = double(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    const QString number =
        value < 10 ? QLocale().toString(value, 'f', 1) : formatGrouped(qint64(value + 0.5));
    return number + QLatin1Char(' ') + QLatin1String(kUnits[unit]);
}

QString cleanedSummary(qint64 files, qint64 bytes)
{
    return QStringLiteral("Cleaned %1 %2, %3")
        .arg(formatGrouped(files), files == 1 ? QStringLiteral("file") : QStringLiteral("files"),
             byteSizeText(bytes));
}

} // namespace clarivex::cleaning
