#include "core/scanners/scan_filter_options.h"

#include "core/base/formats.h"
#include "core/scanners/file_groups.h"
#include "core/search/kv_find_file.h"

namespace clarivex {

void ScanFilterOptions::takeSettings(const ScanFilterSettings &settings, const QString &size)
{
    hidden = settings.Hidden;
    readOnly = settings.ReadOnly;
    system = settings.System;
    useSize = settings.Size;
    sizeIsMax = settings.Max;
    sizeText = size;
    useText = settings.ScanForText;
    text = settings.TextToScanFor;
    useDate = settings.FileDate;
    if (settings.Between1) dateFrom = dateTimeToValue(*settings.Between1);
    if (settings.Between2) dateTo = dateTimeToValue(*settings.Between2);
}

void ScanFilterOptions::applyTo(TKvFindFile &finder) const
{
    int attributes = faArchive;
    if (hidden) attributes |= faHidden;
    if (readOnly) attributes |= faReadOnly;
    if (system) attributes |= faSysFile;
    finder.SetAttributes(attributes);
    finder.SetFindString(useText ? text : QString());
    const SizeBounds bounds = sizeBounds(useSize, sizeIsMax, sizeText);
    finder.MinSize = bounds.minSize;
    finder.MaxSize = bounds.maxSize;
    finder.SetDateFrom(useDate ? dateFrom : 0.0);
    finder.SetDateTo(useDate ? dateTo : 2147483647.0);
    finder.RecurseDirs = true;
}

} // namespace clarivex
