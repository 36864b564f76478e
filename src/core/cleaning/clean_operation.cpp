#include "core/cleaning/clean_operation.h"

#include "core/cleaning/clean_history.h"
#include "core/cleaning/clean_precheck.h"
#include "core/cleaning/clean_texts.h"
#include "core/cleaning/entry_names.h"
#include "core/cleaning/in_use.h"
#include "core/cleaning/trash_expiry.h"
#include "core/cleaning/zip_backup.h"
#include "core/shell/settings_catalogue.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace clarivex::cleaning {

namespace {

TFileOpFlags flagsFor(CleanMode mode)
{
    switch (mode) {
    case CleanMode::Trash:
        return fofAllowUndo | fofFilesOnly;
    case CleanMode::Delete:
        return fofFilesOnly;
    default:
        break;
    }
    return fofAllowUndo | fofFilesOnly | fofMultiDestFiles | fofRenameOnCollision;
}

RowOutcome outcomeOf(const FileOpOutcome &outcome)
{
    switch (outcome.state) {
    case FileOpState::Done:
        return {RowFate::Cleaned, {}, outcome.result.destination};
    case FileOpState::Kept:
        return {RowFate::Kept, outcome.result.reason, {}};
    case FileOpState::Failed:
        return {RowFate::Failed, outcome.result.reason, {}};
    case FileOpState::NotReached:
        break;
    }
    return {RowFate::NotDone, outcome.result.reason, {}};
}

RowOutcome outcomeOf(const ZipItem &item, const QByteArray &archive)
{
    switch (item.state) {
    case ZipItemState::Removed:
        return {RowFate::Cleaned, {}, archive};
    case ZipItemState::Archived:
        return {RowFate::Kept, QStringLiteral("archived, but kept: ") + item.result.reason,
                archive};
    case ZipItemState::Failed:
        break;
    }
    return {
        item.result.error == ESTALE ? RowFate::Changed : RowFate::Failed, item.result.reason, {}};
}

HistoryFile historyFile(const QByteArray &path, const std::optional<FileIdentity> &identity)
{
    HistoryFile file;
    file.path = path;
    if (identity) file.identity = *identity;
    return file;
}

// The ".trashinfo" beside a file in a Trash's "files/" folder.
QByteArray trashInfoOf(const QByteArray &trashed)
{
    const PathParts parts = splitPath(trashed);
    return joinPath(splitPath(parts.folder).folder, "info") + '/' + parts.name + ".trashinfo";
}

HistoryFile historyOutcome(CleanMode mode, const HistoryFile &before, const FileOpOutcome &outcome)
{
    HistoryFile file = before;
    if (outcome.state != FileOpState::Done) {
        file.state = RecordState::Left;
        file.reason =
            outcome.result.reason.isEmpty() ? QStringLiteral("not done") : outcome.result.reason;
        return file;
    }
    file.state = RecordState::Done;
    const QByteArray &destination = outcome.result.destination;
    if (mode == CleanMode::Delete || destination.isEmpty()) {
        file.where = Whereabouts::Deleted; // also a file no Trash could take, deleted when asked
    } else if (mode == CleanMode::Trash) {
        file.where = Whereabouts::Trash;
        file.place = destination;
        file.detail = trashInfoOf(destination);
        file.placeIdentity = before.identity; // renamed within its volume: the same inode
    } else {
        file.where = Whereabouts::Moved;
        file.place = destination;
        file.placeIdentity = readIdentity(destination); // a copy to another volume is new
    }
    return file;
}

HistoryFile historyOutcome(const HistoryFile &before, const ZipItem &item,
                           const QByteArray &archive)
{
    HistoryFile file = before;
    if (item.state != ZipItemState::Removed) {
        file.state = RecordState::Left;
        file.reason = item.state == ZipItemState::Archived
                          ? QStringLiteral("archived, but kept: ") + item.result.reason
                          : item.result.reason;
        if (file.reason.isEmpty()) file.reason = QStringLiteral("not archived");
        return file;
    }
    file.state = RecordState::Done;
    file.where = Whereabouts::Archived;
    file.place = archive;
    file.detail = item.entryName;
    return file;
}

// The status line that names what was not cleaned; empty when all was.
QString notCleanedText(const QList<CleanRow> &rows, const CleanReport &report)
{
    qsizetype count = 0;
    qsizetype first = -1;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const RowFate fate = report.rows[i].fate;
        if (fate == RowFate::Cleaned || fate == RowFate::InUse) continue;
        if (first < 0) first = i;
        ++count;
    }
    if (count == 0) return {};
    return QString::fromLatin1(texts::kNotCleaned)
        .arg(count)
        .arg(QFile::decodeName(rows[first].path), report.rows[first].reason);
}

} // namespace

qsizetype CleanReport::count(RowFate fate) const
{
    return std::count_if(rows.begin(), rows.end(),
                         [fate](const RowOutcome &row) { return row.fate == fate; });
}

QByteArray backupFolder(const QByteArray &setting)
{
    return setting.isEmpty() ? QFile::encodeName(defaultBackupFolder()) : setting;
}

QByteArray archivePath(const QByteArray &folder, const QDate &day)
{
    const QByteArray name = day.toString(QStringLiteral("dd-MM-yyyy")).toLatin1() + ".zip";
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

CleanOperation::CleanOperation(const SystemProtection &protection, CleanPrompts prompts)
    : m_protection(protection), m_prompts(std::move(prompts))
{
}

CleanReport CleanOperation::run(const QList<CleanRow> &rows, const CleanSettings &settings)
{
    CleanReport report;
    report.rows.resize(rows.size());
    if (rows.isEmpty()) return report;
    const QList<qsizetype> chosen =
        checkRows(rows, report, CleanMode(settings.DeleteType) == CleanMode::ZipToFolder);
    QList<QByteArray> inUse;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (report.rows[i].fate == RowFate::InUse) inUse << rows[i].path;
    }
    if (!inUse.isEmpty() && m_prompts.showInUse) m_prompts.showInUse(inUse);
    if (chosen.isEmpty()) {
        report.status1 =
            inUse.isEmpty() ? notCleanedText(rows, report) : QString::fromLatin1(texts::kSomeInUse);
        return report;
    }
    const QList<qsizetype> rest = expungeTrashItems(rows, chosen, report);
    if (rest.isEmpty()) {
        // Only Trash items: they are done.
    } else if (CleanMode(settings.DeleteType) == CleanMode::ZipToFolder)
        runZip(rows, rest, settings, report);
    else
        runFileOperation(rows, rest, settings, report);
    if (report.declined) {
        report.status1 = QString::fromLatin1(texts::kNothingCleaned);
        return report;
    }
    const QString failures = notCleanedText(rows, report);
    if (!failures.isEmpty())
        report.status1 =
            report.status1.isEmpty() ? failures : report.status1 + QStringLiteral(" - ") + failures;
    else if (!inUse.isEmpty())
        report.status1 = QString::fromLatin1(texts::kRemainingInUse);
    return report;
}

QList<qsizetype> CleanOperation::expungeTrashItems(const QList<CleanRow> &rows,
                                                   const QList<qsizetype> &chosen,
                                                   CleanReport &report)
{
    QList<qsizetype> rest;
    for (const qsizetype i : chosen) {
        const std::optional<QByteArray> info = trashRecordOf(rows[i].path);
        if (!info) {
            rest << i;
            continue;
        }
        const EntryResult result = expungeTrashItem(rows[i].path, *info, rows[i].seen);
        report.rows[i] = result.ok() ? RowOutcome{RowFate::Cleaned, {}, result.destination}
                                     : RowOutcome{RowFate::Failed, result.reason, {}};
    }
    return rest;
}

CleanReport CleanOperation::check(const QList<CleanRow> &rows) const
{
    CleanReport report;
    report.rows.resize(rows.size());
    const QList<qsizetype> chosen = checkRows(rows, report);
    if (lastLook) {
        for (qsizetype i : chosen) {
            FileIdentity expected = rows[i].seen.value_or(FileIdentity{});
            const QString keep = lastLook(i, expected);
            if (!keep.isEmpty()) report.rows[i] = {RowFate::Kept, keep, {}};
        }
    }
    return report;
}

CleanReport CleanOperation::check(const QList<CleanRow> &rows, const CleanSettings &settings) const
{
    CleanReport report;
    report.rows.resize(rows.size());
    const CleanMode mode = CleanMode(settings.DeleteType);
    std::optional<TrashPlaces> places;
    if (mode == CleanMode::Trash) places = trash ? *trash : TrashPlaces::forCurrentUser();
    QString folderRefusal;
    if (mode == CleanMode::MoveToFolder || mode == CleanMode::ZipToFolder)
        folderRefusal = backupFolderRefusal(backupFolder(
            mode == CleanMode::MoveToFolder ? settings.MoveFolderPath : settings.ZipFileName));
    for (const qsizetype i : checkRows(rows, report)) {
        const QString refusal =
            !folderRefusal.isEmpty() ? folderRefusal : cleanRefusal(rows[i].path, places);
        if (!refusal.isEmpty()) report.rows[i] = {RowFate::Failed, refusal, {}};
    }
    return report;
}

QList<qsizetype> CleanOperation::checkRows(const QList<CleanRow> &rows, CleanReport &report,
                                           bool needsRead) const
{
    const OpenFiles open = OpenFiles::snapshot(procRoot);
    SystemProtection::ResolvedFolders folders;
    QList<qsizetype> chosen;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        RowOutcome &outcome = report.rows[i];
        const CleanRow &row = rows[i];
        if (m_protection.isProtectedPath(row.path, folders)) {
            outcome = {RowFate::Protected, QStringLiteral("a protected system file"), {}};
            continue;
        }
        const std::optional<FileIdentity> now = readIdentity(row.path);
        const QString changed = !now       ? QString::fromLocal8Bit(std::strerror(errno))
                                : row.seen ? identityMismatch(*row.seen, *now)
                                           : QString();
        if (!changed.isEmpty()) {
            outcome = {now ? RowFate::Changed : RowFate::Failed, changed, {}};
            continue;
        }
        const UseCheck use = checkUse(row.path, *now, open, needsRead);
        if (!use.reason.isEmpty()) {
            outcome = {use.inUse ? RowFate::InUse : RowFate::Failed, use.reason, {}};
            continue;
        }
        chosen << i;
    }
    return chosen;
}

bool CleanOperation::ensureFolder(const QByteArray &folder) const
{
    struct stat st;
    if (::stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    if (::mkdir(folder.constData(), 0700) == 0) return true; // backups are private
    if (m_prompts.notice) m_prompts.notice(QString::fromLatin1(texts::kFailedToCreateDirectory));
    return false;
}

void CleanOperation::runFileOperation(const QList<CleanRow> &rows, const QList<qsizetype> &chosen,
                                      const CleanSettings &settings, CleanReport &report)
{
    const CleanMode mode = CleanMode(settings.DeleteType);
    TFileOperation op;
    op.setOperation(mode == CleanMode::MoveToFolder ? foMove : foDelete);
    TFileOpFlags flags = flagsFor(mode);
    if (!settings.ConfirmDelete || settings.AutoCleaning) flags |= fofNoConfirmation;
    op.setFlags(flags);
    QList<QByteArray> paths;
    QList<std::optional<FileIdentity>> identities;
    for (qsizetype i : chosen) {
        paths << rows[i].path;
        identities << (rows[i].seen ? rows[i].seen : readIdentity(rows[i].path));
    }
    op.setSourcePaths(paths);
    op.setSourceIdentities(identities);
    if (mode == CleanMode::MoveToFolder) {
        QByteArray folder = backupFolder(settings.MoveFolderPath);
        (void)ensureFolder(folder); // the move is tried even so, and says why it fails
        op.setTargetPaths({folder.endsWith('/') ? folder : folder + '/'});
    }
    // The first question of a clean is the one before anything is done.
    bool asked = false;
    const auto confirm = [&](const QString &question) {
        const bool yes = m_prompts.confirm(question);
        if (!asked && !yes) report.declined = true;
        asked = true;
        return yes;
    };
    FileOpCallbacks callbacks{nullptr, m_prompts.deleteForGood, m_prompts.progress};
    if (m_prompts.confirm) callbacks.confirm = confirm;
    if (lastLook) {
        op.setLastLook([this, &chosen](qsizetype k, std::optional<FileIdentity> &expected) {
            FileIdentity narrowed = expected.value_or(FileIdentity{});
            const QString keep = lastLook(chosen[k], narrowed);
            if (keep.isEmpty() && narrowed.hasInode()) expected = narrowed;
            return keep;
        });
    }
    if (settings.AutoCleaning) callbacks.deleteForGood = nullptr; // nobody to ask: keep the file
    QList<HistoryFile> records;
    if (recorder) {
        for (qsizetype k = 0; k < paths.size(); ++k)
            records << historyFile(paths[k], identities[k]);
        recorder->start(mode == CleanMode::Trash    ? HistoryMode::Trash
                        : mode == CleanMode::Delete ? HistoryMode::Delete
                                                    : HistoryMode::Move,
                        mode == CleanMode::MoveToFolder ? op.TargetPaths().value(0) : QByteArray());
        callbacks.beforeItem = [this, &records](qsizetype k) { recorder->beforeFile(records, k); };
        callbacks.afterItem = [this, &records, mode](qsizetype k, const FileOpOutcome &outcome) {
            recorder->after(k, historyOutcome(mode, records[k], outcome));
        };
    }
    op.setCallbacks(callbacks);
    if (trash) op.setTrashPlaces(*trash);
    (void)op.Execute();
    if (recorder) recorder->finish();
    for (qsizetype k = 0; k < chosen.size(); ++k)
        report.rows[chosen[k]] = outcomeOf(op.Outcomes()[k]);
}

void CleanOperation::runZip(const QList<CleanRow> &rows, const QList<qsizetype> &chosen,
                            const CleanSettings &settings, CleanReport &report)
{
    for (qsizetype i : chosen)
        report.rows[i] = {RowFate::NotDone, QStringLiteral("not cleaned"), {}};
    const QByteArray folder = backupFolder(settings.ZipFileName);
    const QByteArray archiveFile = archivePath(folder, QDate::currentDate());
    if (settings.ConfirmDelete && !settings.AutoCleaning && m_prompts.confirm &&
        !m_prompts.confirm(QString::fromLatin1(settings.all ? texts::kConfirmCleanAll
                                                            : texts::kConfirmCleanSelected) +
                           QStringLiteral("\n\n") +
                           QString::fromLatin1(texts::kZipQuestionDetail)
                               .arg(chosen.size())
                               .arg(QFile::decodeName(archiveFile)))) {
        report.declined = true;
        return;
    }
    report.status0.clear();
    report.status1.clear();
    QElapsedTimer clock;
    clock.start();
    if (!ensureFolder(folder)) return;
    report.archive = archiveFile;

    TZip zip;
    zip.Switch = swMove;
    zip.StoredDirNames = sdAbsolute;
    zip.ArchiveFile = report.archive;
    QList<qsizetype> zipped;
    for (qsizetype i : chosen) {
        // An archived file keeps its bytes in the archive whatever happens
        // after: the look is taken before archiving, once per file.
        std::optional<FileIdentity> expected = rows[i].seen;
        if (lastLook) {
            FileIdentity narrowed = expected.value_or(FileIdentity{});
            const QString keep = lastLook(i, narrowed);
            if (!keep.isEmpty()) {
                report.rows[i] = {RowFate::Kept, keep, {}};
                continue;
            }
            if (narrowed.hasInode()) expected = narrowed;
        }
        zipped << i;
        zip.FileSpec << rows[i].path;
        zip.FileIdentities << expected;
    }
    if (zipped.isEmpty()) return;
    if (!settings.AutoCleaning) zip.RemoveCallbacks.deleteForGood = m_prompts.deleteForGood;
    zip.Trash = trash;
    if (m_prompts.prepareZip) m_prompts.prepareZip(zip);
    QList<HistoryFile> records;
    if (recorder) {
        // The archive takes the files away only at its end: every record is
        // written before it starts.
        for (qsizetype i : zipped)
            records << historyFile(rows[i].path,
                                   rows[i].seen ? rows[i].seen : readIdentity(rows[i].path));
        recorder->start(HistoryMode::Zip, report.archive);
        for (qsizetype k = 0; k < records.size(); k += CleanRecorder::kBatch)
            recorder->beforeFiles(records, k, CleanRecorder::kBatch);
    }
    const int archived = zip.Compress();
    for (qsizetype k = 0; k < zipped.size(); ++k) {
        report.rows[zipped[k]] = outcomeOf(zip.Items()[k], report.archive);
        if (recorder)
            recorder->after(k, historyOutcome(records[k], zip.Items()[k], report.archive));
    }
    if (recorder) recorder->finish();
    const QString archive = QFile::decodeName(report.archive);
    if (archived < 1) {
        report.status0 = QString::fromLatin1(texts::kZipFailed);
        report.status1 = QString::fromLatin1(texts::kCouldNotZip) + archive;
    } else {
        report.status0 = QString::fromLatin1(texts::kTotalTime).arg(clock.elapsed());
        report.status1 = QString::fromLatin1(texts::kFilesZipped) + archive;
    }
}

} // namespace clarivex::cleaning
