#pragma once

// The options every scan command shares: --json, --quiet, --clean, --dry-run,
// --map FILE.svg, and, for the scans that walk drives, --drive ROOT (repeatable).

#include <QByteArray>
#include <QList>

#include <functional>

namespace clarivex::cli {

struct ScanArguments
{
    QList<QByteArray> drives;
    bool json = false;
    bool clean = false;
    bool dryRun = false;
    bool quiet = false;
    QByteArray map; // --map: where the treemap picture of the found files goes
};

// Reads args[from...] into `parsed`. `ownOption` takes the scan's own options
// and says whether it took the one given. A bad argument, or --dry-run
// without --clean, sets `problem` and gives false.
[[nodiscard]] bool parseScanArguments(const QList<QByteArray> &args, qsizetype from,
                                      bool takesDrives,
                                      const std::function<bool(const QByteArray &)> &ownOption,
                                      ScanArguments &parsed, QByteArray &problem);

} // namespace clarivex::cli
