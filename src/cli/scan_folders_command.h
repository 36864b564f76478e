#pragma once

// clarivex-cli scan dirs and scan shortcuts (the "scan" command hands them over).

#include <QByteArray>
#include <QList>

namespace clarivex::cli {

// True when the first argument names one of these scans.
[[nodiscard]] bool isFolderScan(const QList<QByteArray> &args);
// Runs it; the arguments start with the scan's name. Exit code as scan temp.
[[nodiscard]] int runFolderScan(const QList<QByteArray> &args, const char *usage);

} // namespace clarivex::cli
