#pragma once

// Undo of one clean of the history: every file it took is put back at its
// path, out of the Trash (its ".trashinfo" removed), back from the backup
// folder, out of the archive, or, for a duplicate replaced by a hard link,
// made a file of its own again. Nothing is ever overwritten: where the path
// is taken the file stays where it is and the line says so. The folders on
// the way back are opened without following links (a missing one is made).
//
// Where a file is now is read from the disk, never assumed: a file emptied
// from the Trash or removed from the backup folder is "gone"; a file whose
// record was only "begun" (the clean was killed) is looked for at its path
// and where the clean would have put it.

#include "core/cleaning/clean_history.h"
#include "core/cleaning/trash.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace clarivex::cleaning {

enum class UndoFate {
    Restored,       // back at its path (or, in a dry run, would be)
    Taken,          // its path is taken: it stays where it is
    Gone,           // no longer where the clean put it
    DeletedForGood, // the clean deleted it
    InPlace,        // it never left its path (a clean cut short before it)
    AlreadyUndone,  // an earlier undo put it back
    Failed,         // the system refused (reason)
};

struct UndoLine
{
    QByteArray path;
    UndoFate fate = UndoFate::Failed;
    QString reason;  // why it failed, or where it is
    QByteArray from; // the Trash file, backup file or archive it came (would come) from
};

struct UndoReport
{
    qint64 clean = 0;
    QList<UndoLine> files;

    // True when every file of the clean is back at its path.
    [[nodiscard]] bool allBack() const;
    [[nodiscard]] qsizetype count(UndoFate fate) const;
};

struct UndoOptions
{
    bool dryRun = false;
    std::optional<TrashPlaces> trash; // unset: the current user's
    // Called after each file; false stops the rest (they are not listed).
    std::function<bool(qsizetype done, qsizetype total)> progress;
};

// Where a recorded file is now, read from the disk.
struct FileWhereabouts
{
    UndoFate fate = UndoFate::Gone; // Restored here means: it can be put back
    HistoryFile file;               // place and detail filled in for a "begun" record
    QString reason;
};

class UndoPlaces;

// The files of the clean that could be put back now.
[[nodiscard]] qsizetype restorableCount(CleanHistory &history, const HistoryClean &clean,
                                        const std::optional<TrashPlaces> &trash = {});

[[nodiscard]] UndoReport undoClean(CleanHistory &history, const HistoryClean &clean,
                                   const UndoOptions &options = {});

} // namespace clarivex::cleaning
