#include "core/cleaning/file_operation.h"

#include "core/cleaning/entry_names.h"
#include "core/cleaning/file_transfer.h"
#include "core/cleaning/remove_entry.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <sys/stat.h>

namespace clarivex::cleaning {

namespace {

QList<QByteArray> splitList(const QString &text)
{
    QList<QByteArray> paths;
    for (const QString &part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        paths << QFile::encodeName(part);
    return paths;
}

QString joinList(const QList<QByteArray> &paths)
{
    QString text;
    for (const QByteArray &path : paths)
        text += QFile::decodeName(path) + QLatin1Char(';');
    return text;
}

bool isFolder(const QByteArray &path, bool followLink)
{
    struct stat st;
    const int result = followLink ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st);
    return result == 0 && S_ISDIR(st.st_mode);
}

FileOpOutcome outcomeOf(const QByteArray &source, const EntryResult &result)
{
    return {source, result.ok() ? FileOpState::Done : FileOpState::Failed, result};
}

} // namespace

int functionCode(TFileOp operation)
{
    switch (operation) {
    case foMove:
        return 1;
    case foCopy:
        return 2;
    case foDelete:
        return 3;
    case foRename:
        return 4;
    }
    return 0;
}

TFileOperation::TFileOperation(QObject *owner) : QObject(owner) {}

void TFileOperation::setActive(bool active)
{
    if (active) (void)Execute();
}

QString TFileOperation::FilesFrom() const
{
    return joinList(m_sources);
}

void TFileOperation::setFilesFrom(const QString &paths)
{
    setSourcePaths(splitList(paths));
}

QString TFileOperation::FilesTo() const
{
    return joinList(m_targets);
}

void TFileOperation::setFilesTo(const QString &paths)
{
    m_targets = splitList(paths);
}

void TFileOperation::setSourcePaths(const QList<QByteArray> &paths)
{
    m_sources = paths;
    m_identities.clear();
}

bool TFileOperation::Execute()
{
    m_outcomes.clear();
    for (const QByteArray &source : m_sources)
        m_outcomes.append({source, FileOpState::NotReached,
                           EntryResult::refused(ECANCELED, QStringLiteral("cancelled"))});
    if (m_sources.isEmpty()) return false;
    if (!confirmed()) {
        m_aborted = true;
        return false;
    }
    m_trashBatch.reset(); // the trash folders as they are now
    if (m_trashAhead && m_operation == foDelete && (m_flags & fofAllowUndo)) {
        m_trashBatch = std::make_unique<TrashBatch>(m_trash);
        m_trashBatch->writeInfoAhead(m_sources, m_identities);
    }
    bool aborted = false;
    bool allDone = true;
    for (qsizetype i = 0; i < m_sources.size(); ++i) {
        if (!reportProgress(i, m_sources[i], 0)) {
            aborted = true;
            break;
        }
        if (m_callbacks.beforeItem) m_callbacks.beforeItem(i);
        m_outcomes[i] = runItem(i);
        if (m_callbacks.afterItem) m_callbacks.afterItem(i, m_outcomes[i]);
        allDone = allDone && m_outcomes[i].state == FileOpState::Done;
        if (m_outcomes[i].result.error == ECANCELED) {
            aborted = true;
            break;
        }
    }
    if (m_trashBatch) m_trashBatch->endInfoAhead();
    m_aborted = aborted;
    return allDone && !aborted;
}

bool TFileOperation::confirmed()
{
    if ((m_flags & fofNoConfirmation) || !m_callbacks.confirm) return true;
    return m_callbacks.confirm(confirmationText(m_operation, m_flags, m_sources, m_targets));
}

bool TFileOperation::reportProgress(qsizetype done, const QByteArray &current, qint64 bytes)
{
    if ((m_flags & fofSilent) || !m_callbacks.progress) return true;
    FileOpProgress progress;
    progress.done = done;
    progress.total = m_sources.size();
    progress.current = (m_flags & fofSimpleProgress) ? QByteArray() : current;
    progress.bytes = bytes;
    progress.title = m_progressTitle;
    return m_callbacks.progress(progress);
}

FileOpOutcome TFileOperation::runItem(qsizetype index)
{
    const QByteArray &source = m_sources[index];
    std::optional<FileIdentity> expected =
        index < m_identities.size() ? m_identities[index] : std::nullopt;
    // A removal checks the identity right before it acts, so a file that is
    // now a folder is refused there; the folder test is needed only without
    // an identity, or for one that is a folder.
    const bool checkedLater =
        m_operation == foDelete && expected && expected->kind != FileKind::Directory;
    if ((m_flags & fofFilesOnly) && !checkedLater && isFolder(source, false))
        return {source, FileOpState::Failed,
                EntryResult::refused(EISDIR, QStringLiteral("is a folder"))};
    if (m_lastLook) {
        const QString keep = m_lastLook(index, expected);
        if (!keep.isEmpty()) return {source, FileOpState::Kept, EntryResult::refused(ESTALE, keep)};
    }
    if (m_operation == foDelete) return deleteItem(source, expected);
    return transferItem(index, expected);
}

FileOpOutcome TFileOperation::deleteItem(const QByteArray &path,
                                         const std::optional<FileIdentity> &expected)
{
    const bool folders = !(m_flags & fofFilesOnly);
    if (!(m_flags & fofAllowUndo)) return outcomeOf(path, removeEntry(path, folders, expected));
    if (!m_trashBatch) m_trashBatch = std::make_unique<TrashBatch>(m_trash);
    const TrashResult trashed = m_trashBatch->move(path, expected);
    if (!trashed.noTrash) return outcomeOf(path, trashed.result);
    // Never a silent permanent deletion: only an explicit yes deletes it.
    if (m_callbacks.deleteForGood && m_callbacks.deleteForGood(path, trashed.result.reason))
        return outcomeOf(path, removeEntry(path, folders, expected));
    return {path, FileOpState::Kept, trashed.result};
}

bool TFileOperation::targetIsFolder(qsizetype index) const
{
    if (m_targets.size() == 1 && m_sources.size() > 1) return true;
    const QByteArray &target = m_targets[index];
    return target.endsWith('/') || isFolder(target, true);
}

bool TFileOperation::makeFolder(const QByteArray &folder)
{
    if (isFolder(folder, true)) return true;
    errno = ECANCELED; // unless the folder is made, or fails with a reason of its own
    const bool ask = !(m_flags & (fofNoConfirmMkDir | fofNoConfirmation)) && m_callbacks.confirm;
    if (ask && !m_callbacks.confirm(
                   QStringLiteral("The folder \"%1\" does not exist. Do you want to create it?")
                       .arg(QFile::decodeName(folder))))
        return false;
    return QDir().mkpath(QFile::decodeName(folder));
}

FileOpOutcome TFileOperation::transferItem(qsizetype index,
                                           const std::optional<FileIdentity> &expected)
{
    const QByteArray &source = m_sources[index];
    const bool perItem = (m_flags & fofMultiDestFiles) && m_targets.size() == m_sources.size();
    if (m_targets.isEmpty() || (!perItem && m_targets.size() != 1))
        return outcomeOf(source, EntryResult::refused(EINVAL, QStringLiteral("no destination")));
    const qsizetype at = perItem ? index : 0;
    Transfer transfer;
    transfer.source = source;
    if (targetIsFolder(at)) {
        transfer.targetFolder = m_targets[at];
    } else {
        const PathParts parts = splitPath(m_targets[at]);
        transfer.targetFolder = parts.folder;
        transfer.targetName = parts.name;
    }
    if (!makeFolder(transfer.targetFolder))
        return outcomeOf(source, EntryResult::failed(errno, QStringLiteral("destination folder")));
    transfer.keepSource = m_operation == foCopy;
    transfer.renameOnCollision = bool(m_flags & fofRenameOnCollision);
    transfer.expected = expected;
    transfer.progress = [this, index, &source](qint64 bytes) {
        return reportProgress(index, source, bytes);
    };
    return outcomeOf(source, transferEntry(transfer));
}

} // namespace clarivex::cleaning
