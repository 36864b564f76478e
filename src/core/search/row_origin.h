#pragma once

// Where a row of the found-file list came from: the scan that found it and
// the run it belongs to (a user's scan, a step of a scheduled run, the
// command line). A clean reads these from the rows themselves, never from
// one window-wide flag: an automatic clean takes only what its own scan found
// in its own run, and a duplicate set's master is known by its row.

#include <QDateTime>
#include <QString>

#include <optional>

namespace clarivex {

// Three bits in a row: values up to 7 fit.
enum class ScanOrigin : quint8 {
    TempFiles = 0,
    Duplicates = 1,
    Directories = 2,
    DeadShortcuts = 3,
    AppRules = 4, // application junk rules
};
inline constexpr int kScanOriginBits = 3;

enum class RunTrigger : quint8 {
    User = 0,      // a scan the user started in the window
    Scheduled = 1, // a step of a scheduled run
    Cli = 2,       // clarivex-cli
};

// An index into a list's run table.
using RunIndex = quint16;

struct ScanRun
{
    RunTrigger trigger = RunTrigger::User;
    QDateTime began;
};

// "temporary files", "duplicates", "directories", "dead shortcuts",
// "application rules": the words of the exported list and the JSON rows.
[[nodiscard]] QString scanOriginName(ScanOrigin scan);
// "user", "scheduled", "cli".
[[nodiscard]] QString runTriggerName(RunTrigger trigger);
[[nodiscard]] std::optional<ScanOrigin> scanOriginFromName(const QString &name);

} // namespace clarivex
