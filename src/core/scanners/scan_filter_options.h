#pragma once

// The filters the temporary-file and the duplicate scan share: attributes,
// size, contained text and date range, as their pages set them.

#include "core/base/settings_types.h"

#include <QString>

namespace clarivex {

class TKvFindFile;

struct ScanFilterOptions
{
    bool hidden = true;
    bool readOnly = true;
    bool system = true;
    bool useSize = false;
    bool sizeIsMax = false;
    QString sizeText = QStringLiteral("100"); // KB
    bool useText = false;
    QString text;
    bool useDate = false;
    double dateFrom = 0.0; // date/time values of the two pickers
    double dateTo = 2147483647.0;

    // The stored filters, with the size entry (not stored; "100" at start)
    // and the pickers' values where none were stored.
    void takeSettings(const ScanFilterSettings &settings, const QString &sizeText);
    // Sets the finder's attributes, text, size and date filters, and recursion.
    void applyTo(TKvFindFile &finder) const;
};

} // namespace clarivex
