#pragma once

// The clean history: one entry per clean, in $XDG_STATE_HOME/clarivex/history.db
// (else ~/.local/state/clarivex/). An entry says when the clean ran, in which
// mode, what started it, and for every file it took on: the path (bytes), its
// size, time and identity, and where it went (the Trash file and its
// ".trashinfo", the moved path, the archive and its entry, deleted for good,
// or the copy it is now a hard link of).
//
// A file's record is written "begun" before the file is touched and "done"
// (or "left", with the reason) after. Writes are batched: a whole batch of
// "begun" records is one transaction, written before the first file of the
// batch is touched, and the outcomes of a batch are written with the next
// batch's "begun" records. A clean killed halfway leaves "begun" records
// whose files undo and the listing look for on disk; nothing is guessed.
//
// The file is SQLite in WAL mode with a busy timeout, so the window, the
// Scheduler and clarivex-cli may write at once. A file that is not a sound
// database is moved aside under a timestamped name (never deleted, never
// read again) and the history starts empty; takeDamageNotice() says so once.
// Entries older than the stored number of days are pruned when a clean begins.

#include "core/cleaning/file_identity.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

struct sqlite3;

namespace clarivex::cleaning {

// What started a clean.
enum class CleanTrigger : quint8 { User = 0, Automatic = 1, Scheduled = 2, Cli = 3 };
[[nodiscard]] QString triggerName(CleanTrigger trigger); // "user", "automatic", ...

// How a clean took its files away. The first four are the clean modes
// (DeleteType); Link is the replacement of a duplicate by a hard link.
enum class HistoryMode : quint8 { Trash = 0, Delete = 1, Move = 2, Zip = 3, Link = 4 };
[[nodiscard]] QString modeName(HistoryMode mode); // "trash", "delete", "move", "zip", "link"

enum class RecordState : quint8 {
    Begun = 0,  // written before the file was touched; its outcome was never written
    Done = 1,   // the file went where `place` says
    Left = 2,   // the file was not taken (refused, failed, kept); `reason` says why
    Undone = 3, // an undo put it back
};

// Where a file went. For Trash: `place` is the file in "files/", `detail` the
// ".trashinfo". Moved: `place` is the new path. Archived: `place` the archive,
// `detail` the entry name. Deleted: nothing. Linked: `place` is the copy kept,
// of which the path is now a hard link.
enum class Whereabouts : quint8 {
    None = 0,
    Trash = 1,
    Moved = 2,
    Archived = 3,
    Deleted = 4,
    Linked = 5
};

struct HistoryFile
{
    qint64 id = 0;
    QByteArray path;
    FileIdentity identity; // as it was before the clean
    RecordState state = RecordState::Begun;
    Whereabouts where = Whereabouts::None;
    QByteArray place;
    QByteArray detail;
    std::optional<FileIdentity> placeIdentity; // the entry at `place` right after the clean
    QString reason;
};

struct HistoryClean
{
    qint64 id = 0;
    QDateTime when;
    HistoryMode mode = HistoryMode::Trash;
    CleanTrigger trigger = CleanTrigger::User;
    QByteArray destination; // the backup folder or archive, when there is one
    qint64 files = 0;       // files taken (done, or begun and not known to be left)
    qint64 bytes = 0;
    bool finished = false; // false: the clean never ended (killed, crashed, running)
};

class CleanHistory
{
public:
    [[nodiscard]] static QString defaultPath();
    // Opens (making it when missing) the history file. A damaged file is moved
    // aside and a new one started; isOpen() is false only when no file could
    // be had at all (error() says why).
    explicit CleanHistory(const QString &path = defaultPath());
    ~CleanHistory();
    CleanHistory(const CleanHistory &) = delete;
    CleanHistory &operator=(const CleanHistory &) = delete;

    [[nodiscard]] bool isOpen() const { return m_db != nullptr; }
    [[nodiscard]] QString path() const { return m_path; }
    [[nodiscard]] QString error() const { return m_error; }
    [[nodiscard]] QString movedAsidePath() const { return m_movedAside; }
    // Non-empty once per process after a damaged file was moved aside.
    [[nodiscard]] static QString takeDamageNotice();

    // ---- Writing one clean ----
    // A new entry; 0 when it could not be written.
    [[nodiscard]] qint64 beginClean(HistoryMode mode, CleanTrigger trigger,
                                    const QByteArray &destination = {},
                                    const QDateTime &when = QDateTime::currentDateTime());
    // In one transaction: the outcomes of earlier files (by their ids), then
    // "begun" records for `files` (path and identity read from each). Returns
    // the new records' ids in `ids`, in order. False when nothing could be
    // written. Either list may be empty.
    bool writeBatch(qint64 clean, const QList<HistoryFile> &outcomes,
                    const QList<HistoryFile> &begun, QList<qint64> *ids = nullptr);
    // The entry is complete (its outcomes are written).
    bool finishClean(qint64 clean);

    // ---- Reading and undo ----
    [[nodiscard]] QList<HistoryClean> cleans(); // newest first
    [[nodiscard]] std::optional<HistoryClean> clean(qint64 id);
    [[nodiscard]] QList<HistoryFile> files(qint64 clean);
    bool markUndone(qint64 fileId);

    // Removes the entries that began before `cutoff`; the number removed.
    int pruneBefore(const QDateTime &cutoff);
    // The stored number of days an entry is kept (Settings\Options HistoryDays, default 90).
    [[nodiscard]] static int keepDays();
    static constexpr int kDefaultKeepDays = 90;

private:
    void open();
    bool exec(const char *sql);
    [[nodiscard]] qint64 insertClean(HistoryMode mode, CleanTrigger trigger,
                                     const QByteArray &destination, const QDateTime &when);

    QString m_path;
    QString m_error;
    QString m_movedAside;
    sqlite3 *m_db = nullptr;
    bool m_forceAside = false; // the next open moves the file aside (damage found in use)
};

// What a clean writes into the history. A front end makes one, gives it to
// CleanOperation (which calls the rest), and may read its id afterwards. Every
// failure to write is kept in error() and never stops the clean.
class CleanRecorder
{
public:
    static constexpr qsizetype kBatch = 1024;

    CleanRecorder(CleanHistory &history, CleanTrigger trigger);
    ~CleanRecorder(); // writes what is pending and ends the entry

    [[nodiscard]] CleanTrigger trigger() const { return m_trigger; }
    [[nodiscard]] qint64 cleanId() const { return m_clean; }
    [[nodiscard]] QString error() const { return m_error; }
    [[nodiscard]] CleanHistory &history() { return m_history; }

    // What the clean does; the entry itself is written (old ones pruned
    // first) with the first batch of files, so a clean that touches nothing
    // leaves none.
    void start(HistoryMode mode, const QByteArray &destination = {});
    // Files `first` .. `first + count - 1` of the clean are about to be
    // touched: their "begun" records are written now, together with the
    // outcomes gathered so far. `files` holds all the clean's files.
    void beforeFiles(const QList<HistoryFile> &files, qsizetype first, qsizetype count);
    // The outcome of file `index` (its place, state and reason filled in).
    void after(qsizetype index, HistoryFile outcome);
    // Writes the outcomes still pending and marks the entry complete.
    void finish();

    // Calls beforeFiles() when `index` starts a new batch of kBatch files.
    void beforeFile(const QList<HistoryFile> &files, qsizetype index);

private:
    CleanHistory &m_history;
    CleanTrigger m_trigger;
    HistoryMode m_mode = HistoryMode::Trash;
    QByteArray m_destination;
    bool m_started = false;
    qint64 m_clean = 0;
    QList<qint64> m_ids;          // record id per file index (0: not written)
    QList<HistoryFile> m_pending; // outcomes not yet written
    qsizetype m_plannedUpTo = 0;  // files with a "begun" record written
    bool m_finished = false;
    QString m_error;
};

} // namespace clarivex::cleaning
