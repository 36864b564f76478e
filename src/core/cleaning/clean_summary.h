#pragma once

// What a clean did, in words: the status line ("Moved 5,010 files (133 KB)
// to the Trash"), what it kept and why ("2 files were kept: in use"), and
// the event log's line with the mode, how it started, the counts and bytes.

#include "core/cleaning/clean_operation.h"

#include <QList>
#include <QString>

#include <utility>

namespace clarivex::cleaning {

struct CleanTally
{
    CleanMode mode = CleanMode::Trash;
    qsizetype cleaned = 0;
    qint64 bytes = 0;
    QByteArray destination; // the folder or archive, for a move or zip
    // Why files stayed, with how many, in the order first met.
    QList<std::pair<QString, qsizetype>> kept;

    void keep(const QString &reason, qsizetype count = 1);
    [[nodiscard]] qsizetype keptCount() const;
};

// Counts a clean's outcome. `sizes` are the rows' sizes in the report's
// order; `gone` marks rows whose file went away by itself (neither cleaned
// nor kept).
[[nodiscard]] CleanTally tallyClean(CleanMode mode, const CleanReport &report,
                                    const QList<qint64> &sizes, const QList<bool> &gone = {});

// "Moved 5,010 files (133 KB) to the Trash", "Deleted 1 file (12 bytes)",
// "Moved 3 files (1.5 MB) to /backup", "Zipped 3 files (40 KB) to
// /backup/08-12-2026.zip"; "Nothing was cleaned." when nothing was.
[[nodiscard]] QString cleanDoneText(const CleanTally &tally);
// "2 files were kept: in use", "3 files were kept: 2 in use, 1 changed since
// the scan"; empty when nothing was kept.
[[nodiscard]] QString cleanKeptText(const CleanTally &tally);
// The event log's line: "Clean (Move to Trash, Clean All): 5,010 Files,
// 136,192 Bytes; 2 Files kept: in use". `how` says what started it.
[[nodiscard]] QString cleanLogText(const CleanTally &tally, const QString &how);

// "133 KB", "1.5 MB": a size for a person to read.
[[nodiscard]] QString readableSize(qint64 bytes);
// "743,895,772 bytes (709.4 MiB)": the exact count beside a readable one.
[[nodiscard]] QString exactAndReadableBytes(qint64 bytes);

// Why a row a clean could not take stayed, as the texts above say it.
[[nodiscard]] QString keptReason(RowFate fate);
inline constexpr char kKeptLastCopy[] = "the last copy of a duplicate set";
inline constexpr char kKeptMaster[] = "the first copy of a duplicate set";
inline constexpr char kKeptReference[] = "in a reference folder";

// The one-line account of a clean that the notification after an automatic
// or scheduled clean shows: "Cleaned 1,204 files, 312 MB".
// "312 MB": bytes in the largest unit (bytes, KB, MB, GB, TB; 1024 each) that
// leaves at least 1, with one decimal below 10.
[[nodiscard]] QString byteSizeText(qint64 bytes);
// "Cleaned 1,204 files, 312 MB" ("1 file" for one).
[[nodiscard]] QString cleanedSummary(qint64 files, qint64 bytes);

} // namespace clarivex::cleaning
