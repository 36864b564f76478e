#include "core/cleaning/clean_operation.h"

#include "core/cleaning/clean_texts.h"
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
    return {RowFate::Failed, item.result.reason, {}};
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
    const QList<qsizetype> chosen = checkRows(rows, report);
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
        const std::optional<QByteArray> info = trashInfoOf(rows[i].path);
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
    (void)checkRows(rows, report);
    return report;
}

QList<qsizetype> CleanOperation::checkRows(const QList<CleanRow> &rows, CleanReport &report) const
{
    const OpenFiles open = OpenFiles::snapshot(procRoot);
    QList<qsizetype> chosen;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        RowOutcome &outcome = report.rows[i];
        const CleanRow &row = rows[i];
        if (m_protection.isProtectedPath(row.path)) {
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
        const QString busy = inUseReason(row.path, open);
        if (!busy.isEmpty()) {
            outcome = {RowFate::InUse, busy, {}};
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
    if (::mkdir(folder.constData(), 0777) == 0) return true;
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
    FileOpCallbacks callbacks{m_prompts.confirm, m_prompts.deleteForGood, m_prompts.progress};
    if (settings.AutoCleaning) callbacks.deleteForGood = nullptr; // nobody to ask: keep the file
    op.setCallbacks(callbacks);
    if (trash) op.setTrashPlaces(*trash);
    (void)op.Execute();
    for (qsizetype k = 0; k < chosen.size(); ++k)
        report.rows[chosen[k]] = outcomeOf(op.Outcomes()[k]);
}

void CleanOperation::runZip(const QList<CleanRow> &rows, const QList<qsizetype> &chosen,
                            const CleanSettings &settings, CleanReport &report)
{
    for (qsizetype i : chosen)
        report.rows[i] = {RowFate::NotDone, QStringLiteral("not cleaned"), {}};
    if (settings.ConfirmDelete && !settings.AutoCleaning && m_prompts.confirm &&
        !m_prompts.confirm(QString::fromLatin1(settings.all ? texts::kConfirmCleanAll
                                                            : texts::kConfirmCleanSelected)))
        return;
    report.status0.clear();
    report.status1.clear();
    QElapsedTimer clock;
    clock.start();
    const QByteArray folder = backupFolder(settings.ZipFileName);
    if (!ensureFolder(folder)) return;
    report.archive = archivePath(folder, QDate::currentDate());

    TZip zip;
    zip.Switch = swMove;
    zip.StoredDirNames = sdAbsolute;
    zip.ArchiveFile = report.archive;
    for (qsizetype i : chosen) {
        zip.FileSpec << rows[i].path;
        zip.FileIdentities << rows[i].seen;
    }
    if (!settings.AutoCleaning) zip.RemoveCallbacks.deleteForGood = m_prompts.deleteForGood;
    zip.Trash = trash;
    if (m_prompts.prepareZip) m_prompts.prepareZip(zip);
    const int archived = zip.Compress();
    for (qsizetype k = 0; k < chosen.size(); ++k)
        report.rows[chosen[k]] = outcomeOf(zip.Items()[k], report.archive);
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
