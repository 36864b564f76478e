#pragma once

// Puts the files of a zip backup back where they were, or below another
// folder. Nothing is ever overwritten: where a file of that name exists, it
// is kept and the restored file gets a "(restored)" name beside it. Each file
// is written under a hidden name first and given its name only when whole,
// with its mode and modification time. Entry names that would leave the
// target (".." parts) are refused; symbolic links are restored last, so that
// none of them can lead a later file elsewhere.
//
// Run by root for another user's files, a restore must not act for that user
// beyond what the user could do: every folder on the way is opened from the
// one above it without following a link (a link there is reported and the
// file restored nowhere else), set-user-ID and set-group-ID bits are never
// restored, and the file gets back the owner and group the archive recorded.
// Anyone else restores files as their own.
//
// An entry the archive had to rename ("a (2).tmp" beside an earlier "a.tmp")
// goes back under the name its file had, or a "(restored)" name beside it.

#include <QByteArray>
#include <QList>
#include <QString>

namespace clarivex::cleaning {

struct RestoreOptions
{
    QByteArray toFolder; // empty: the original places
    bool dryRun = false; // say what would be done, touch nothing
    // An undo: only these entries (empty: all), a taken name fails instead of
    // getting a "(restored)" name, and no folder on the way is a link.
    QList<QByteArray> onlyEntries;
    bool neverRename = false;
};

enum class RestoreFate { Restored, RestoredAs, Failed };

struct RestoredFile
{
    QByteArray entryName;
    QByteArray wanted; // the place the entry names
    QByteArray target; // where it went (or would go)
    RestoreFate fate = RestoreFate::Failed;
    QString reason;
};

struct RestoreReport
{
    QString archiveError; // set when the archive could not be read at all
    QList<RestoredFile> files;

    [[nodiscard]] bool allRestored() const;
};

[[nodiscard]] RestoreReport restoreArchive(const QByteArray &archive,
                                           const RestoreOptions &options);

} // namespace clarivex::cleaning
