// The duplicate list's ways to reclaim space without losing a path, and to
// choose what stays: "Replace duplicates with links" beside the clean
// buttons (hard links or reflinks, after a question), and the popup menu's
// "Select Duplicates" helpers, which make the copy each set keeps its master
// and select the others. The replacement itself is DuplicateLinkClean.

#include "gui/shell/main_window.h"

#include "core/base/formats.h"
#include "core/cleaning/clean_history.h"
#include "core/scanners/duplicate_keep.h"
#include "core/scanners/duplicate_link_clean.h"
#include "gui/cleaning/clean_progress.h"
#include "gui/cleaning/file_list_actions.h"
#include "gui/scanners/duplicate_files_page.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/toolkit/notice_service.h"

#include <QFile>
#include <QHBoxLayout>
#include <QItemSelection>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>

namespace clarivex {

namespace {

const QString kCaption = QStringLiteral("Clarivex 2000");

QString kindWords(cleaning::LinkKind kind)
{
    return kind == cleaning::LinkKind::Hard ? QStringLiteral("hard links")
                                            : QStringLiteral("reflinks");
}

} // namespace

QPushButton *TClarivexMainForm::buildLinkButton(QWidget *column)
{
    // The caption is longer than the column is wide: it wraps inside the button.
    auto *button = new QPushButton(column);
    button->setObjectName(QStringLiteral("btnLinkDuplicates"));
    const QString caption = QStringLiteral("Replace duplicates with links");
    button->setAccessibleName(caption);
    button->setToolTip(QStringLiteral("Replace each duplicate by a link to its set's master: "
                                      "every path stays, the copy's space is freed"));
    auto *label = new QLabel(caption, button);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *layout = new QHBoxLayout(button);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(label);
    // As tall as the wrapped caption in the column's width (fixed, see buildButtonColumn).
    const QRect wrapped = label->fontMetrics().boundingRect(
        QRect(0, 0, column->width() - 12, 1000), Qt::TextWordWrap | Qt::AlignCenter, caption);
    button->setMinimumHeight(wrapped.height() + 10);
    auto *menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("LinkKindMenu"));
    QAction *hard = menu->addAction(QStringLiteral("&Hard Links..."));
    hard->setObjectName(QStringLiteral("ItemHardLinks"));
    QAction *reflink = menu->addAction(QStringLiteral("&Reflinks (btrfs, XFS)..."));
    reflink->setObjectName(QStringLiteral("ItemReflinks"));
    connect(hard, &QAction::triggered, this,
            [this] { ReplaceDuplicatesWithLinks(cleaning::LinkKind::Hard); });
    connect(reflink, &QAction::triggered, this,
            [this] { ReplaceDuplicatesWithLinks(cleaning::LinkKind::Reflink); });
    connect(button, &QPushButton::clicked, this,
            [button, menu] { menu->popup(button->mapToGlobal(QPoint(0, button->height()))); });
    button->hide(); // shown with the duplicate list
    return button;
}

void TClarivexMainForm::wireDuplicateLinks()
{
    QMenu *popup = m_listActions->ListViewPopupMenu;
    popup->addSeparator();
    QMenu *select = popup->addMenu(QStringLiteral("Select &Duplicates"));
    select->setObjectName(QStringLiteral("SelectDuplicatesMenu"));
    const auto rule = [this, select](const char *name, const char *caption, KeepRule keep) {
        QAction *action = select->addAction(QString::fromLatin1(caption));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this,
                [this, keep] { selectDuplicateRows(keepOnePerSet(*FileListView->Model(), keep)); });
    };
    rule("ItemSelectButNewest", "All but the &Newest", KeepRule::Newest);
    rule("ItemSelectButOldest", "All but the &Oldest", KeepRule::Oldest);
    rule("ItemSelectButShortest", "All but the &Shortest Path", KeepRule::ShortestPath);
    rule("ItemSelectButFirst", "All but the &First", KeepRule::First);
    QAction *inFolder = select->addAction(QStringLiteral("All in This &Folder"));
    inFolder->setObjectName(QStringLiteral("ItemSelectInFolder"));
    connect(inFolder, &QAction::triggered, this, [this] {
        const QList<int> rows = FileListView->SelectedRows();
        if (rows.isEmpty()) return;
        FoundFileModel &model = *FileListView->Model();
        selectDuplicateRows(selectInFolder(model, model.FolderOf(rows.first())));
    });
    connect(popup, &QMenu::aboutToShow, this, [this, select, inFolder] {
        const FoundFileModel &model = *FileListView->Model();
        const QList<int> rows = FileListView->SelectedRows();
        const bool sets = ScanKind == skDuplicates && model.RowCount() > 0;
        select->menuAction()->setVisible(sets);
        select->setEnabled(sets && !m_cleaning && !scanInProgress());
        inFolder->setEnabled(!rows.isEmpty() && model.SetOf(rows.first()) >= 0);
    });
}

void TClarivexMainForm::selectDuplicateRows(const QList<int> &rows)
{
    QItemSelection selection;
    const int last = kFoundFileColumnCount - 1;
    for (int row : rows)
        selection.select(FileListView->model()->index(row, 0),
                         FileListView->model()->index(row, last));
    FileListView->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty()) FileListView->scrollTo(FileListView->model()->index(rows.first(), 0));
    setStatusText(1, QStringLiteral("%1 files selected; the first copy (master) of each set stays")
                         .arg(formatGrouped(rows.size())));
}

void TClarivexMainForm::ReplaceDuplicatesWithLinks(cleaning::LinkKind kind)
{
    FoundFileModel &model = *FileListView->Model();
    model.FlushPending();
    if (model.RowCount() == 0 || m_cleaning || scanInProgress()) return;
    const QList<int> selected = FileListView->SelectedRows();
    const cleaning::CleanChoice choice = selected.isEmpty()
                                             ? cleaning::CleanChoice::all()
                                             : cleaning::CleanChoice::selectedRows(selected);
    QList<int> kept;
    const QList<LinkJob> jobs = DuplicateLinkClean::jobsFor(model, choice, &kept);
    if (jobs.isEmpty()) {
        setStatusText(1, QStringLiteral("No duplicates to replace: a set's master, its last copy "
                                        "and the files of reference folders stay as they are"));
        return;
    }
    const QString question =
        QStringLiteral("Replace %1 with %2 to the first copy (master) of their set?\n\n"
                       "Each is compared with its master byte for byte first. Every path still "
                       "reads the same bytes, and the space of the copies is freed. Undo in the "
                       "Clean History gives each path a file of its own again.")
            .arg(selected.isEmpty() ? QStringLiteral("all %1 duplicates").arg(jobs.size())
                                    : QStringLiteral("%1 selected duplicates").arg(jobs.size()),
                 kindWords(kind));
    if (!ui::notices().confirm(this, kCaption, question)) return;

    m_cleaning = true;
    const bool buttons[3] = {btnCleanAll->isEnabled(), btnCleanSelected->isEnabled(),
                             btnLinkDuplicates->isEnabled()};
    setScanCommandsEnabled(false);
    for (QPushButton *button : {btnCleanAll, btnCleanSelected, btnLinkDuplicates})
        button->setEnabled(false);
    const auto restore = qScopeGuard([&] {
        btnCleanAll->setEnabled(buttons[0]);
        btnCleanSelected->setEnabled(buttons[1]);
        btnLinkDuplicates->setEnabled(buttons[2]);
        setScanCommandsEnabled(true);
        m_cleaning = false;
    });

    ui::CleanProgress progress(this, jobs.size());
    cleaning::CleanHistory history;
    cleaning::CleanRecorder recorder(history, cleaning::CleanTrigger::User);
    DuplicateLinkClean clean;
    clean.kind = kind;
    clean.recorder = &recorder;
    clean.progress = [this, &progress](qsizetype done, qsizetype total, const QByteArray &path) {
        emit cleanProgress(done, total);
        return progress.step(done, path);
    };
    const LinkCleanReport report = clean.run(jobs);
    recorder.finish();
    if (!recorder.error().isEmpty())
        WriteLogEvent(QStringLiteral("Clean History: ") + recorder.error());

    // A replaced duplicate no longer takes space of its own: it leaves the list.
    QList<int> gone;
    qint64 goneBytes = 0;
    QString firstKept;
    qsizetype keptCount = 0;
    for (qsizetype k = 0; k < report.jobs.size(); ++k) {
        const int row = report.jobs[k].row;
        if (report.results[k].replaced) {
            if (row < model.RowCount() && model.FilePath(row) == report.jobs[k].request.duplicate) {
                gone << row;
                goneBytes += model.Row(row).size;
            }
        } else {
            if (firstKept.isEmpty())
                firstKept = QFile::decodeName(report.jobs[k].request.duplicate) +
                            QStringLiteral(": ") + report.results[k].reason;
            ++keptCount;
        }
    }
    model.RemoveRows(gone);
    FoundFileCount = qMax<qint64>(0, FoundFileCount - gone.size());
    FoundByteTotal = qMax<qint64>(0, FoundByteTotal - goneBytes);
    UpdateFoundTotals(FoundFileCount, FoundByteTotal);
    QString summary =
        QStringLiteral("Replaced %1 duplicates with %2 (%3 bytes freed)")
            .arg(formatGrouped(report.replaced), kindWords(kind), formatGrouped(report.bytesFreed));
    if (keptCount > 0)
        summary += QStringLiteral("; %1 kept - %2").arg(formatGrouped(keptCount), firstKept);
    setStatusText(1, summary);
    WriteLogEvent(summary);
}

QList<QByteArray> TClarivexMainForm::referenceFolderPaths() const
{
    QList<QByteArray> folders;
    for (const CheckEntry &entry : m_duplicatesPage->referenceFolders()) {
        if (entry.checked && !entry.text.isEmpty()) folders << QFile::encodeName(entry.text);
    }
    return folders;
}

void TClarivexMainForm::markReferenceRows()
{
    const QList<QByteArray> folders = referenceFolderPaths();
    if (!folders.isEmpty()) (void)markReferenceFolders(*FileListView->Model(), folders);
}

} // namespace clarivex
