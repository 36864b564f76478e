#pragma once

// clarivex-cli scan duplicates: reached through "scan".

#include <QByteArray>
#include <QList>

namespace clarivex::cli {

// `args` follow "scan duplicates".
[[nodiscard]] int runScanDuplicates(const QList<QByteArray> &args);

} // namespace clarivex::cli
