#pragma once

// The duplicate-file scan without its window: collect (the finder walks the
// chosen drives and the collector keeps the candidates), then compare (the
// candidates of one key are compared and the sets listed). The window and
// clarivex-cli give it their list, status line and pump.
//
// "Treat floppy as master": with the option on and both removable and other
// drives chosen, the removable ones are walked first as masters and the
// others filtered to the keys the masters showed; every set listed then has a
// file of a removable drive as its master and lists the files of the other
// drives (and any further copies on the removable ones) that equal it.

#include "core/scanners/duplicate_collect.h"
#include "core/scanners/duplicate_compare.h"
#include "core/scanners/duplicate_options.h"

#include <QList>
#include <QString>

#include <functional>

namespace clarivex {

class TKvFindFile;

class DuplicateScan
{
public:
    // Status panel 0 or 1.
    std::function<void(int panel, const QString &text)> status;
    // Called after collect, before compare, with the number of candidates.
    std::function<void(qint64 candidates)> compareStarts;

    // The drives in the order they are walked, with their phases.
    [[nodiscard]] static QList<std::pair<DuplicateDrive, DuplicateCollector::Phase>>
    drivePlan(const QList<DuplicateDrive> &drives, bool floppyIsMaster);

    // Collects on every drive (until stopped), then compares into `compare`.
    void run(TKvFindFile &finder, const QList<DuplicateDrive> &drives,
             const DuplicateScanOptions &options, DuplicateCompare &compare);
    // The collect phase alone.
    void collect(TKvFindFile &finder, const QList<DuplicateDrive> &drives,
                 const DuplicateScanOptions &options);

    // Stop: ends the walk at once and the comparison before the next file.
    void Stop(TKvFindFile &finder);

    bool ScanContinue = true;
    DuplicateCollector collector;

    // The hash cache's file (empty: HashCache::defaultPath()); used when the
    // options ask for it. It is read while the walk runs and written once the
    // comparison is through (not after a Stop).
    QString hashCachePath;
    // Files changed less than this before the walk began are not cached.
    qint64 racyWindowNs = 2'000'000'000;
    // Set when the last run found the cache damaged and moved it aside.
    QString CacheMovedAside;
};

} // namespace clarivex
