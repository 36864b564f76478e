#pragma once

// TFileOperation: copies, deletes, moves or renames a list of files in one
// synchronous call, with confirmation, progress, Trash and rename on
// collision. It needs no window: the question before the operation, the
// question for a file that no Trash can take, and the progress with its
// cancel are callbacks that a window or a command line fills in.
//
// Paths are carried as a list of native byte paths. The ";"-separated texts
// FilesFrom and FilesTo remain for callers that build such a text, but a path
// that itself holds ";" can only be given through setSourcePaths().
//
// Every item's outcome is kept: done, failed (with the system's reason),
// kept (no Trash, and nobody agreed to delete it for good), or not reached
// (cancelled before it). Execute() is true only when every item was done.

#include "core/cleaning/entry_result.h"
#include "core/cleaning/file_identity.h"
#include "core/cleaning/trash.h"

#include <QByteArray>
#include <QFlags>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace clarivex::cleaning {

enum TFileOp { foCopy, foDelete, foMove, foRename };
// The function code of an operation: foMove 1, foCopy 2, foDelete 3, foRename 4.
[[nodiscard]] int functionCode(TFileOp operation);

// Each flag's value is its bit in the flag word.
enum TFileOpFlag : quint32 {
    fofAllowUndo = 0x0040, // deletions go to the Trash
    fofConfirmMouse = 0x0002,
    fofFilesOnly = 0x0080,         // folders are refused
    fofMultiDestFiles = 0x0001,    // one destination per source
    fofNoConfirmation = 0x0010,    // no question before the operation
    fofNoConfirmMkDir = 0x0200,    // a missing destination folder is made without asking
    fofRenameOnCollision = 0x0008, // "name (2).ext" instead of failing on a taken name
    fofSilent = 0x0004,            // no progress
    fofSimpleProgress = 0x0100,    // progress without file names, titled ProgressTitle
};
Q_DECLARE_FLAGS(TFileOpFlags, TFileOpFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFileOpFlags)

struct FileOpProgress
{
    qsizetype done = 0; // items finished
    qsizetype total = 0;
    QByteArray current; // empty with fofSimpleProgress
    qint64 bytes = 0;   // bytes copied of the current item
    QString title;      // ProgressTitle
};

enum class FileOpState { Done, Failed, Kept, NotReached };

struct FileOpOutcome
{
    QByteArray source;
    FileOpState state = FileOpState::NotReached;
    EntryResult result; // reason, and the new place of a moved, copied or trashed file
};

struct FileOpCallbacks
{
    // The question before the operation; false is No (unset: yes).
    std::function<bool(const QString &question)> confirm;
    // Whether a file that no Trash on its volume can take is deleted for good
    // (unset: no, the file is kept).
    std::function<bool(const QByteArray &path, const QString &reason)> deleteForGood;
    // Progress; false cancels the rest (unset: never cancels).
    std::function<bool(const FileOpProgress &progress)> progress;
    // Right before item `index` is touched, and right after with its outcome
    // (the clean history's records; unset: nothing).
    std::function<void(qsizetype index)> beforeItem;
    std::function<void(qsizetype index, const FileOpOutcome &outcome)> afterItem;
};

// The last look at an item right before it is acted on: empty when it may go
// on, else why it is kept. It may narrow `expected` to the very file it looked
// at, the only one the item then acts on.
using FileOpLastLook =
    std::function<QString(qsizetype index, std::optional<FileIdentity> &expected)>;

class TFileOperation : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE setActive)
    Q_PROPERTY(QString FilesFrom READ FilesFrom WRITE setFilesFrom)
    Q_PROPERTY(QString FilesTo READ FilesTo WRITE setFilesTo)
    Q_PROPERTY(bool OperationAborted READ OperationAborted)
    Q_PROPERTY(QString ProgressTitle READ ProgressTitle WRITE setProgressTitle)

public:
    explicit TFileOperation(QObject *owner = nullptr);

    // Writing true runs the operation at once; it always reads false.
    [[nodiscard]] bool Active() const { return false; }
    void setActive(bool active);

    [[nodiscard]] QString FilesFrom() const;
    void setFilesFrom(const QString &paths); // "a;b;" or a single path
    [[nodiscard]] QString FilesTo() const;
    void setFilesTo(const QString &paths);
    [[nodiscard]] const QList<QByteArray> &SourcePaths() const { return m_sources; }
    void setSourcePaths(const QList<QByteArray> &paths);
    [[nodiscard]] const QList<QByteArray> &TargetPaths() const { return m_targets; }
    void setTargetPaths(const QList<QByteArray> &paths) { m_targets = paths; }
    // What each source must still be when it is reached (same order as the
    // sources; empty: no check).
    void setSourceIdentities(const QList<std::optional<FileIdentity>> &identities)
    {
        m_identities = identities;
    }

    [[nodiscard]] TFileOpFlags Flags() const { return m_flags; }
    void setFlags(TFileOpFlags flags) { m_flags = flags; }
    [[nodiscard]] TFileOp Operation() const { return m_operation; }
    void setOperation(TFileOp operation) { m_operation = operation; }
    [[nodiscard]] bool OperationAborted() const { return m_aborted; }
    [[nodiscard]] QString ProgressTitle() const { return m_progressTitle; }
    void setProgressTitle(const QString &title) { m_progressTitle = title; }

    void setCallbacks(const FileOpCallbacks &callbacks) { m_callbacks = callbacks; }
    void setLastLook(FileOpLastLook look) { m_lastLook = std::move(look); }
    void setTrashPlaces(const TrashPlaces &places) { m_trash = places; }
    // Deletions to the Trash write the next files' infos ahead on a second
    // thread (TrashBatch::writeInfoAhead); off by default.
    void setTrashAhead(bool ahead) { m_trashAhead = ahead; }

    // Runs the operation; true when every item was done.
    [[nodiscard]] bool Execute();
    // The outcome of each source of the last run, in source order.
    [[nodiscard]] const QList<FileOpOutcome> &Outcomes() const { return m_outcomes; }

    // The question asked before an operation on `paths`.
    [[nodiscard]] static QString confirmationText(TFileOp operation, TFileOpFlags flags,
                                                  const QList<QByteArray> &paths,
                                                  const QList<QByteArray> &targets);

private:
    [[nodiscard]] bool confirmed();
    [[nodiscard]] bool reportProgress(qsizetype done, const QByteArray &current, qint64 bytes);
    [[nodiscard]] FileOpOutcome runItem(qsizetype index);
    [[nodiscard]] FileOpOutcome deleteItem(const QByteArray &path,
                                           const std::optional<FileIdentity> &expected);
    [[nodiscard]] FileOpOutcome transferItem(qsizetype index,
                                             const std::optional<FileIdentity> &expected);
    [[nodiscard]] bool targetIsFolder(qsizetype index) const;
    [[nodiscard]] bool makeFolder(const QByteArray &folder);

    QList<QByteArray> m_sources;
    QList<QByteArray> m_targets;
    QList<std::optional<FileIdentity>> m_identities;
    TFileOpFlags m_flags;
    TFileOp m_operation = foCopy;
    bool m_aborted = false;
    QString m_progressTitle;
    FileOpCallbacks m_callbacks;
    FileOpLastLook m_lastLook;
    TrashPlaces m_trash = TrashPlaces::forCurrentUser();
    std::unique_ptr<TrashBatch> m_trashBatch;
    bool m_trashAhead = false;
    QList<FileOpOutcome> m_outcomes;
};

} // namespace clarivex::cleaning
