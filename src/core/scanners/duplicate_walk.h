#pragma once

// The walk of one drive for the duplicate scan, on every core. The finder
// walks the top levels itself; each folder kDeferBelow levels down (past
// every check that lets the walk enter it) is handed to the pool instead,
// walked there by a finder of its own with the same filters into a
// collector of its own, and the branches are joined in the order the walk
// met them. A branch of a protected system folder is walked on the calling
// thread, so its top is counted once. The calling thread keeps its caller
// alive (the finder's Pump) and a Stop ends every branch at its next entry.
//
// Only a normal phase is split: a master phase and the phase it filters
// walk on the calling thread, as do machines with one core.

#include "core/scanners/duplicate_collect.h"
#include "core/scanners/duplicate_options.h"

#include <QByteArray>

namespace clarivex {

class TKvFindFile;

constexpr int kDeferBelow = 3;

// Walks `root` into `collector` (whose phase is set). `keepGoing` is read on
// the calling thread while the branches are walked.
void walkDuplicateDrive(TKvFindFile &finder, const QByteArray &root,
                        const DuplicateScanOptions &options, DuplicateCollector &collector,
                        const bool &keepGoing);

} // namespace clarivex
