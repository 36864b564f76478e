#pragma once

// The clean: takes the rows of a found-file list away from their places in
// the chosen mode (DeleteType: 0 Trash, 1 delete, 2 move to a folder, 3 zip
// to a folder) and says for every row what became of it. It knows no widget:
// the questions, the in-use dialog, the notices, progress and the zip events
// reach the caller through CleanPrompts, and the caller's list removes
// exactly the rows whose file left its place.
//
// Before anything is done to a row its file must pass, in order: not a
// protected system file; still the entry the scan saw (same device and inode,
// kind, size and time: a file replaced by a link or another file is refused,
// a link found as a link is removed as the link); not in use (no process holds
// it open, the processes read once per clean; for a zip, which reads the file,
// it also opens, and a file that may not be read is refused as unreadable).
//
// With a recorder, every file that passed is written to the clean history
// before it is touched and its outcome after (see clean_history.h).

#include "core/cleaning/file_identity.h"
#include "core/cleaning/file_operation.h"
#include "core/cleaning/system_protection.h"
#include "core/cleaning/trash.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace clarivex::cleaning {

class TZip;
class CleanRecorder;

enum class CleanMode : quint8 { Trash = 0, Delete = 1, MoveToFolder = 2, ZipToFolder = 3 };

struct CleanRow
{
    QByteArray path;
    std::optional<FileIdentity> seen; // what the scan saw; unset: the entry as it is now
};

struct CleanSettings
{
    quint8 DeleteType = 0;
    QByteArray MoveFolderPath; // empty: the default backup folder
    QByteArray ZipFileName;    // the archive's folder; empty: the default backup folder
    bool ConfirmDelete = true;
    bool AutoCleaning = false; // no question of any kind
    bool all = true;           // all rows rather than the selected ones (the zip question)
};

enum class RowFate {
    Cleaned,   // the file left its place (Trash, deleted, moved, archived and removed)
    InUse,     // refused: in use
    Changed,   // refused: not what the scan saw
    Protected, // refused: a system file
    Failed,    // tried, and the system said no
    Kept,      // tried, and kept on purpose (no Trash, or archived but not removed)
    NotDone,   // not tried: the question was answered No, or the run was cancelled
};

struct RowOutcome
{
    RowFate fate = RowFate::NotDone;
    QString reason;         // empty for a cleaned row
    QByteArray destination; // the Trash, folder or archive it went to
};

struct CleanPrompts
{
    std::function<bool(const QString &question)> confirm;
    std::function<void(const QList<QByteArray> &paths)> showInUse; // texts::kInUse*
    std::function<void(const QString &text)> notice;
    std::function<bool(const QByteArray &path, const QString &reason)> deleteForGood;
    std::function<bool(const FileOpProgress &progress)> progress;
    std::function<void(TZip &zip)> prepareZip; // connects the zip events
};

struct CleanReport
{
    QList<RowOutcome> rows; // in the order of the rows given
    QString status0;        // empty: leave the status panel as it is
    QString status1;
    QByteArray archive;    // zip mode: the archive written to
    bool declined = false; // the question before the clean was answered No

    [[nodiscard]] qsizetype count(RowFate fate) const;
};

// The folder a move or zip goes to: the setting, or the default backup folder.
[[nodiscard]] QByteArray backupFolder(const QByteArray &setting);
// "dd-MM-yyyy.zip" in the folder.
[[nodiscard]] QByteArray archivePath(const QByteArray &folder, const QDate &day);

class CleanOperation
{
public:
    CleanOperation(const SystemProtection &protection, CleanPrompts prompts);

    std::optional<TrashPlaces> trash; // tests point it at folders of their own
    // The last look at a row (an index into the rows given) right before its
    // file leaves its place, and in a dry run: empty when it may go, else why
    // it is kept (the row is then Kept). It may narrow `expected` to the very
    // file it looked at, the only one the clean then acts on. A duplicate's
    // comparison with its master is such a look: taken per file at the moment
    // of its removal, never once for all rows before the first one goes.
    std::function<QString(qsizetype row, FileIdentity &expected)> lastLook;
    QByteArray procRoot = "/proc";
    // Where the clean writes its history entry; null: none is written.
    CleanRecorder *recorder = nullptr;

    [[nodiscard]] CleanReport run(const QList<CleanRow> &rows, const CleanSettings &settings);
    // The checks alone (protected, changed, in use), with nothing done and
    // nothing asked: a row that would be cleaned stays NotDone. For a dry run.
    [[nodiscard]] CleanReport check(const QList<CleanRow> &rows) const;
    // The same, and what the real run in the settings' mode would meet
    // besides (clean_precheck.h): a row it would refuse is Failed here.
    [[nodiscard]] CleanReport check(const QList<CleanRow> &rows,
                                    const CleanSettings &settings) const;

private:
    [[nodiscard]] QList<qsizetype> checkRows(const QList<CleanRow> &rows, CleanReport &report,
                                             bool needsRead = true) const;
    // Items already in a Trash are deleted with their records; gives the rest.
    [[nodiscard]] QList<qsizetype> expungeTrashItems(const QList<CleanRow> &rows,
                                                     const QList<qsizetype> &chosen,
                                                     CleanReport &report);
    void runFileOperation(const QList<CleanRow> &rows, const QList<qsizetype> &chosen,
                          const CleanSettings &settings, CleanReport &report);
    void runZip(const QList<CleanRow> &rows, const QList<qsizetype> &chosen,
                const CleanSettings &settings, CleanReport &report);
    [[nodiscard]] bool ensureFolder(const QByteArray &folder) const;

    const SystemProtection &m_protection;
    CleanPrompts m_prompts;
};

} // namespace clarivex::cleaning
