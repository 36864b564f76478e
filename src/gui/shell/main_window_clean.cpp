// The clean commands of the main window: which rows a clean takes, the
// questions and dialogs it raises through the notice service, its progress,
// the zip events on the status bar, and what the list and the totals show
// afterwards. The clean itself (modes, checks, outcomes) is CleanOperation.
//
// The list tells the truth: a row leaves it exactly when its file left its
// place, and the totals are lowered by exactly the rows that left, whether
// the clean finished, failed in part or was cancelled.

#include "gui/shell/main_window.h"

#include "core/base/event_pump.h"
#include "core/cleaning/clean_operation.h"
#include "core/cleaning/clean_texts.h"
#include "core/cleaning/found_rows.h"
#include "core/cleaning/zip_backup.h"
#include "core/cleaning/zip_messages.h"
#include "gui/cleaning/clean_progress.h"
#include "gui/cleaning/in_use_dialog.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/options_page.h"
#include "gui/toolkit/notice_service.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>

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

} // namespace

void TClarivexMainForm::wireCleaning()
{
    connect(this, &TClarivexMainForm::cleanRequested, this, &TClarivexMainForm::CleanFiles);
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

QList<int> TClarivexMainForm::rowsToClean(bool selectedOnly) const
{
    const FoundFileModel &model = *FileListView->Model();
    QList<int> rows;
    if (ScanKind == skDuplicates) {
        // Only the selected file of a duplicate group, never a separator.
        const QList<int> selected = FileListView->SelectedRows();
        if (!selected.isEmpty() && !model.IsSeparator(selected.first())) rows << selected.first();
        return rows;
    }
    const QList<int> candidates = selectedOnly ? FileListView->SelectedRows() : QList<int>();
    const int count = selectedOnly ? int(candidates.size()) : model.RowCount();
    for (int i = 0; i < count; ++i) {
        const int row = selectedOnly ? candidates[i] : i;
        if (!model.IsSeparator(row)) rows << row;
    }
    return rows;
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
    FoundFileModel &model = *FileListView->Model();
    model.FlushPending();
    if (model.RowCount() == 0 || m_cleaning) return;
    const QList<int> rows = rowsToClean(selectedOnly);
    if (rows.isEmpty()) return;

    const QList<cleaning::CleanRow> cleanRows = cleaning::cleanRowsOf(model, rows);

    // No scan and no second clean starts while this one runs its events.
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

    ui::CleanProgress progress(this, cleanRows.size());
    cleaning::CleanOperation clean(systemProtection(), cleanPrompts(progress));
    const cleaning::CleanReport report = clean.run(cleanRows, cleanSettings(selectedOnly));
    showCleanReport(rows, cleanRows, report);
}

void TClarivexMainForm::showCleanReport(const QList<int> &rows,
                                        const QList<cleaning::CleanRow> &cleanRows,
                                        const cleaning::CleanReport &report)
{
    FoundFileModel &model = *FileListView->Model();
    QList<int> gone;
    qint64 goneBytes = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const cleaning::RowFate fate = report.rows[i].fate;
        // A file that went away by itself also left its place.
        if (fate != cleaning::RowFate::Cleaned &&
            !(fate == cleaning::RowFate::Failed && vanished(cleanRows[i].path)))
            continue;
        // The list cannot change while a clean runs; this only makes sure.
        if (rows[i] >= model.RowCount() || model.FilePath(rows[i]) != cleanRows[i].path) continue;
        gone << rows[i];
        goneBytes += model.Row(rows[i]).size;
    }
    model.RemoveRows(gone);
    FoundFileCount = qMax<qint64>(0, FoundFileCount - gone.size());
    FoundByteTotal = qMax<qint64>(0, FoundByteTotal - goneBytes);
    UpdateFoundTotals(FoundFileCount, FoundByteTotal);
    if (!report.status0.isEmpty()) setStatusText(0, report.status0);
    setStatusText(1, report.status1);
}

} // namespace clarivex
