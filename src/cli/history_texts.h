#pragma once

// The lines of `history` and `undo`, shared by both commands.

#include "core/cleaning/clean_history.h"
#include "core/cleaning/clean_undo.h"

#include <QByteArray>

namespace clarivex::cli {

// "12  08-12-2026 06:30:01  trash  user  1204 files  312.0 MB  1204 restorable"
[[nodiscard]] QByteArray historyLine(const cleaning::HistoryClean &clean, qsizetype restorable);
// "restored: PATH", "taken, kept at FROM: PATH", ...
[[nodiscard]] QByteArray undoLine(const cleaning::UndoLine &line, bool dryRun);
// Prints the notice of a damaged history moved aside, once.
void reportHistoryDamage();

} // namespace clarivex::cli
