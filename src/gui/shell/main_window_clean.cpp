// The clean commands of the main window: which rows a clean takes (by the
// rules of clean_selection.h, with the question about a master selected by
// hand), the questions and dialogs it raises through the notice service, its
// progress, the zip events on the status bar, and what the list, the totals,
// the status bar and the log show afterwards. The clean itself (modes,
// checks, outcomes) is CleanOperation.
//
// The list tells the truth: a row leaves it exactly when its file left its
// place, and the totals are lowered by exactly the rows that left, whether
// the clean finished, failed in part or was cancelled.

#include "gui/shell/main_window.h"

#include "core/base/event_pump.h"
#include "core/cleaning/clean_history.h"
#include "core/cleaning/clean_operation.h"
#include "core/cleaning/clean_selection.h"
#include "core/cleaning/clean_summary.h"
#include "core/cleaning/clean_texts.h"
#include "core/cleaning/found_rows.h"
#include "core/cleaning/zip_backup.h"
#include "core/cleaning/zip_messages.h"
#include "core/scanners/duplicate_recheck.h"
#include "gui/cleaning/clean_progress.h"
#include "gui/cleaning/in_use_dialog.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/options_page.h"
#include "gui/toolkit/notice_service.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSet>

#include <cerrno>

#include <sys/stat.h>

namespace clarivex {

namespace {

const QString kCaption = QStringLiteral("Clarivex 2000");

bool vanished(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) != 0 && errno == ENOENT;
}

QString deleteForGoodQuestion(const QByteArray &path, const QString &reason)
{
    return QStringLiteral("'%1' cannot be moved to the Trash: %2\n\n"
                          "Do you want to delete it permanently?")
        .arg(QFile::decodeName(path), reason);
}

// The copy a duplicate's row is compared with before it goes: its set's
// master, or, when the master goes in the same clean, the first copy of the
// set listed above or below it that stays; -1 for a row of another scan or
// when no copy of its set stays listed.
int keptCopyOf(const FoundFileModel &model, int row, const QSet<int> &going)
{
    const int set = model.SetOf(row);
    if (set < 0) return -1;
    int first = row;
    while (first > 0 && !model.IsSeparator(first - 1) && model.SetOf(first - 1) == set)
        --first;
    int fallback = -1;
    for (int at = first; at < model.RowCount() && !model.IsSeparator(at) && model.SetOf(at) == set;
         ++at) {
        if (at == row || going.contains(at)) continue;
        if (model.IsMaster(at)) return at;
        if (fallback < 0) fallback = at;
    }
    return fallback;
}

} // namespace

void TClarivexMainForm::wireCleaning()
{
    connect(this, &TClarivexMainForm::cleanRequested, this,
            [this](bool selectedOnly) { CleanFiles(selectedOnly); });
    connect(FileListView, &TKvFileListView::deleteKeyReleased, this, [this] {
        if (!scanInProgress()) CleanFiles(true);
    });
}

void TClarivexMainForm::setSystemRoot(const QByteArray &root, const QByteArray &dpkgInfo)
{
    m_protection = cleaning::SystemProtection(root, dpkgInfo);
}

cleaning::SystemProtection &TClarivexMainForm::systemProtection()
{
    m_protection.enabled = m_settings.options.ProtectSystemFiles;
    return m_protection;
}

cleaning::CleanSelection TClarivexMainForm::rowsToClean(const cleaning::CleanChoice &choice)
{
    const FoundFileModel &model = *FileListView->Model();
    cleaning::CleanSelection selection = cleaning::selectRowsToClean(model, choice);
    if (selection.masters.isEmpty()) return selection;
    // Only a hand-made selection holds a master; it goes only when the user
    // agrees, and the rest of the selection is cleaned either way.
    if (AutoCleaning ||
        !ui::notices().confirm(this, kCaption, cleaning::masterQuestion(model, selection),
                               ui::NoticeIcon::Warning))
        selection.dropMasters();
    return selection;
}

QString TClarivexMainForm::cleanTrigger(const cleaning::CleanChoice &choice) const
{
    switch (choice.scope) {
    case cleaning::CleanScope::All:
        return QStringLiteral("Clean All");
    case cleaning::CleanScope::Selected:
        return QStringLiteral("Clean Selected");
    case cleaning::CleanScope::Automatic:
        break;
    }
    return ScheduledRunActive ? QStringLiteral("scheduled") : QStringLiteral("automatic");
}

cleaning::CleanSettings TClarivexMainForm::cleanSettings(bool selectedOnly) const
{
    cleaning::CleanSettings settings;
    settings.DeleteType = m_optionsPage->DeleteType;
    settings.MoveFolderPath = QFile::encodeName(m_optionsPage->txtMoveFolderPath->text());
    settings.ZipFileName = QFile::encodeName(m_optionsPage->txtZipFileName->text());
    settings.ConfirmDelete = m_optionsPage->cbConfirmDelete->isChecked();
    settings.AutoCleaning = AutoCleaning;
    settings.all = !selectedOnly;
    return settings;
}

void TClarivexMainForm::connectZipEvents(cleaning::TZip &zip, ui::CleanProgress &progress)
{
    const std::function<void()> pump = ui::throttledPump();
    // ZipActivate, ZipBegin, ZIPProgress, ZipEnd, ZIPError.
    zip.OnActivate = [this] { StatusProgressBar->show(); };
    zip.OnBegin = [this, pump, &progress](const QByteArray &fileName, int count, bool &) {
        setStatusText(1, QString::fromLatin1(cleaning::texts::kCompressing) +
                             QFile::decodeName(fileName));
        emit cleanProgress(count - 1, progress.total());
        (void)progress.step(count - 1, fileName);
        pump();
    };
    zip.OnProgress = [this, pump](int progressByFile, int) {
        StatusProgressBar->setValue(progressByFile);
        pump();
    };
    zip.OnEnd = [this](const QByteArray &, bool) {
        StatusProgressBar->setValue(0);
        StatusProgressBar->hide();
    };
    zip.OnError = [this](const QByteArray &fileName, const QString &extra, int, int code) {
        const QString text = cleaning::zipErrorText(QFile::decodeName(fileName), extra, code);
        if (!text.isEmpty()) ui::notices().information(this, kCaption, text);
    };
    zip.Cancelled = [&progress] { return progress.cancelled(); };
}

cleaning::CleanPrompts TClarivexMainForm::cleanPrompts(ui::CleanProgress &progress)
{
    cleaning::CleanPrompts prompts;
    // A Yes that deletes for good is never the default answer.
    const bool forGood =
        cleaning::CleanMode(m_optionsPage->DeleteType) == cleaning::CleanMode::Delete;
    prompts.confirm = [this, forGood](const QString &question) {
        return forGood ? ui::notices().confirmForGood(this, kCaption, question)
                       : ui::notices().confirm(this, kCaption, question);
    };
    prompts.showInUse = [this](const QList<QByteArray> &paths) {
        ui::showInUseDialog(this, paths);
    };
    prompts.notice = [this](const QString &text) {
        ui::notices().information(this, kCaption, text);
    };
    prompts.deleteForGood = [this](const QByteArray &path, const QString &reason) {
        return ui::notices().confirmForGood(this, kCaption, deleteForGoodQuestion(path, reason),
                                            ui::NoticeIcon::Warning);
    };
    prompts.progress = [this, &progress](const cleaning::FileOpProgress &step) {
        emit cleanProgress(step.done, step.total);
        return progress.step(step.done, step.current);
    };
    prompts.prepareZip = [this, &progress](cleaning::TZip &zip) {
        connectZipEvents(zip, progress);
    };
    return prompts;
}

void TClarivexMainForm::CleanFiles(bool selectedOnly)
{
    CleanFiles(selectedOnly ? cleaning::CleanChoice::selectedRows(FileListView->SelectedRows())
                            : cleaning::CleanChoice::all());
}

void TClarivexMainForm::CleanFiles(const cleaning::CleanChoice &choice)
{
    FoundFileModel &model = *FileListView->Model();
    model.FlushPending();
    if (model.RowCount() == 0 || m_cleaning) return;
    // No scan and no second clean starts while this one runs its events,
    // the question about a master included: the rows stay the ones chosen.
    m_cleaning = true;
    const bool scanCommands = !scanInProgress();
    const bool cleanButtons[2] = {btnCleanAll->isEnabled(), btnCleanSelected->isEnabled()};
    setScanCommandsEnabled(false);
    btnCleanAll->setEnabled(false);
    btnCleanSelected->setEnabled(false);
    const auto restore = qScopeGuard([&] {
        StatusProgressBar->hide();
        btnCleanAll->setEnabled(cleanButtons[0]);
        btnCleanSelected->setEnabled(cleanButtons[1]);
        setScanCommandsEnabled(scanCommands);
        m_cleaning = false;
    });

    const bool selectedOnly = choice.scope == cleaning::CleanScope::Selected;
    const cleaning::CleanSelection selection = rowsToClean(choice);
    const QList<int> &rows = selection.rows;
    if (rows.isEmpty()) {
        // Only copies a duplicate set must keep: say so, rather than nothing.
        const qsizetype kept = selection.keptLastCopy.size() + selection.keptMasters.size() +
                               selection.keptReferences.size();
        if (kept > 0 && !AutoCleaning) {
            cleaning::CleanTally tally;
            tally.keep(QString::fromLatin1(cleaning::kKeptMaster), selection.keptMasters.size());
            tally.keep(QString::fromLatin1(cleaning::kKeptLastCopy), selection.keptLastCopy.size());
            tally.keep(QString::fromLatin1(cleaning::kKeptReference),
                       selection.keptReferences.size());
            showCleanSummary(tally, {});
        }
        return;
    }

    const QList<cleaning::CleanRow> cleanRows = cleaning::cleanRowsOf(model, rows);

    ui::CleanProgress progress(this, cleanRows.size());
    cleaning::CleanOperation clean(systemProtection(), cleanPrompts(progress));
    {
        // A duplicate goes only while its master still holds its bytes: they
        // are compared right before it goes (after any question was answered).
        const QSet<int> going(rows.cbegin(), rows.cend());
        clean.lastLook = [&model, &rows, going](qsizetype index, cleaning::FileIdentity &expected) {
            const int row = rows[index];
            const int master = keptCopyOf(model, row, going);
            if (master < 0) return QString();
            const DuplicateLook look =
                lookAtDuplicate(model.FilePath(master), cleaning::seenIdentity(model, master),
                                model.FilePath(row), cleaning::seenIdentity(model, row));
            if (look.keepReason.isEmpty()) expected = look.compared;
            return look.keepReason;
        };
    }
    cleaning::CleanHistory history;
    cleaning::CleanRecorder recorder(history, !AutoCleaning ? cleaning::CleanTrigger::User
                                              : ScheduledRunActive
                                                  ? cleaning::CleanTrigger::Scheduled
                                                  : cleaning::CleanTrigger::Automatic);
    clean.recorder = &recorder;
    const cleaning::CleanSettings settings = cleanSettings(selectedOnly);
    const cleaning::CleanReport report = clean.run(cleanRows, settings);
    recorder.finish();
    if (!recorder.error().isEmpty())
        WriteLogEvent(QStringLiteral("Clean History: ") + recorder.error());
    const QString damaged = cleaning::CleanHistory::takeDamageNotice();
    if (!damaged.isEmpty()) WriteLogEvent(damaged);
    if (cleaning::CleanMode(settings.DeleteType) == cleaning::CleanMode::ZipToFolder)
        reportZipFilesNotFound(cleanRows, report);
    showCleanReport(rows, cleanRows, report, selection, cleanTrigger(choice));
    if (AutoCleaning) {
        qint64 files = 0;
        qint64 bytes = 0;
        for (qsizetype i = 0; i < cleanRows.size(); ++i) {
            if (report.rows[i].fate != cleaning::RowFate::Cleaned) continue;
            ++files;
            if (cleanRows[i].seen) bytes += cleanRows[i].seen->size;
        }
        notifyClean(recorder, files, bytes);
    }
}

// A file gone before the zip clean reached it never gets to the archive, so
// the archive raises no error for it: the window tells it as the archive's
// "File not found" error all the same, one message per file, as for the
// files the archive itself misses.
void TClarivexMainForm::reportZipFilesNotFound(const QList<cleaning::CleanRow> &cleanRows,
                                               const cleaning::CleanReport &report)
{
    for (qsizetype i = 0; i < cleanRows.size(); ++i) {
        if (report.rows[i].fate != cleaning::RowFate::Failed) continue;
        struct stat st;
        if (::lstat(cleanRows[i].path.constData(), &st) == 0 || errno != ENOENT) continue;
        ui::notices().information(this, kCaption,
                                  cleaning::zipErrorText(QFile::decodeName(cleanRows[i].path),
                                                         report.rows[i].reason,
                                                         cleaning::zmFileNotFound));
    }
}

void TClarivexMainForm::showCleanReport(const QList<int> &rows,
                                        const QList<cleaning::CleanRow> &cleanRows,
                                        const cleaning::CleanReport &report,
                                        const cleaning::CleanSelection &selection,
                                        const QString &trigger)
{
    FoundFileModel &model = *FileListView->Model();
    QList<int> gone;
    qint64 goneBytes = 0;
    QList<qint64> sizes;
    QList<bool> vanishedRows;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const bool listed =
            rows[i] < model.RowCount() && model.FilePath(rows[i]) == cleanRows[i].path;
        sizes << (listed ? model.Row(rows[i]).size : 0);
        const cleaning::RowFate fate = report.rows[i].fate;
        // A file that went away by itself also left its place.
        const bool byItself = fate == cleaning::RowFate::Failed && vanished(cleanRows[i].path);
        vanishedRows << byItself;
        if (fate != cleaning::RowFate::Cleaned && !byItself) continue;
        // The list cannot change while a clean runs; this only makes sure.
        if (!listed) continue;
        gone << rows[i];
        goneBytes += model.Row(rows[i]).size;
    }
    model.RemoveRows(gone);
    FoundFileCount = qMax<qint64>(0, FoundFileCount - gone.size());
    FoundByteTotal = qMax<qint64>(0, FoundByteTotal - goneBytes);
    UpdateFoundTotals(FoundFileCount, FoundByteTotal);

    const auto mode = cleaning::CleanMode(cleanSettings(false).DeleteType);
    cleaning::CleanTally tally = cleaning::tallyClean(mode, report, sizes, vanishedRows);
    tally.keep(QString::fromLatin1(cleaning::kKeptMaster), selection.keptMasters.size());
    tally.keep(QString::fromLatin1(cleaning::kKeptLastCopy), selection.keptLastCopy.size());
    tally.keep(QString::fromLatin1(cleaning::kKeptReference), selection.keptReferences.size());
    showCleanSummary(tally, report);
    WriteLogEvent(cleaning::cleanLogText(tally, trigger));
}

void TClarivexMainForm::showCleanSummary(const cleaning::CleanTally &tally,
                                         const cleaning::CleanReport &report)
{
    const QString done = cleaning::cleanDoneText(tally);
    const QString kept = cleaning::cleanKeptText(tally);
    const QString summary = kept.isEmpty() ? done : done + QStringLiteral("; ") + kept;
    // The clean's own lines (the zip's time and archive, files in use) stay
    // where they are; what was done takes the place that is free.
    if (!report.status0.isEmpty())
        setStatusText(0, report.status0);
    else if (!report.status1.isEmpty())
        setStatusText(0, m_statusPanels[0]->fontMetrics().elidedText(done, Qt::ElideRight,
                                                                     m_statusPanels[0]->width()));
    setStatusText(1, report.status1.isEmpty() ? summary : report.status1);
    for (QLabel *panel : m_statusPanels)
        panel->setToolTip(summary);
}

} // namespace clarivex
