// The clean history in the main window: "Undo Last Clean" in the File menu
// and the tray menu, the "Clean History" dialog, the undo of one clean
// (written to the log), and the notification after an automatic or scheduled
// clean, whose "Undo" action undoes that clean.
#include "gui/shell/main_window.h"

#include "core/base/formats.h"
#include "core/cleaning/clean_history.h"
#include "core/cleaning/clean_summary.h"
#include "core/cleaning/clean_undo.h"
#include "gui/cleaning/clean_history_dialog.h"
#include "gui/cleaning/clean_notifier.h"
#include "gui/cleaning/clean_progress.h"
#include "gui/toolkit/notice_service.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QSystemTrayIcon>

namespace clarivex {

namespace {

const QString kCaption = QStringLiteral("Clarivex 2000");
constexpr int kLinesShown = 12;

// What did not come back, a line each, for the notice after an undo.
QString problemLines(const cleaning::UndoReport &report)
{
    QStringList lines;
    for (const cleaning::UndoLine &line : report.files) {
        QString why;
        switch (line.fate) {
        case cleaning::UndoFate::Taken:
            why = QStringLiteral("its path is taken; it stays at %1")
                      .arg(QFile::decodeName(line.from));
            break;
        case cleaning::UndoFate::Gone:
            why = QStringLiteral("gone") +
                  (line.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(line.reason));
            break;
        case cleaning::UndoFate::DeletedForGood:
            why = QStringLiteral("deleted for good");
            break;
        case cleaning::UndoFate::Failed:
            why = line.reason;
            break;
        default:
            continue;
        }
        lines << QFile::decodeName(line.path) + QStringLiteral(": ") + why;
    }
    if (lines.size() > kLinesShown) {
        const qsizetype more = lines.size() - kLinesShown;
        lines = lines.mid(0, kLinesShown);
        lines << QStringLiteral("... and %1 more").arg(formatGrouped(more));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

void TClarivexMainForm::buildHistoryActions(QMenu *file)
{
    QAction *undo = file->addAction(QStringLiteral("&Undo Last Clean"), this,
                                    &TClarivexMainForm::UndoLastClean);
    undo->setObjectName(QStringLiteral("MenuItemUndoLastClean"));
    QAction *history = file->addAction(QStringLiteral("Clean &History..."), this,
                                       &TClarivexMainForm::ShowCleanHistory);
    history->setObjectName(QStringLiteral("MenuItemCleanHistory"));
    m_cleanNotifier = new ui::CleanNotifier(this);
    m_cleanNotifier->fallback = [this](const QString &title, const QString &text) {
        if (PGTrayIcon95 && PGTrayIcon95->isVisible())
            PGTrayIcon95->showMessage(title, text);
        else
            setStatusText(0, text); // no tray either: the status bar says it
    };
    connect(m_cleanNotifier, &ui::CleanNotifier::undoRequested, this, [this](qint64 clean) {
        const QString result = undoClean(clean);
        ui::notices().information(this, kCaption, result);
    });
}

QString TClarivexMainForm::undoClean(qint64 id,
                                     const std::function<bool(qsizetype, qsizetype)> &progress)
{
    cleaning::CleanHistory history;
    const std::optional<cleaning::HistoryClean> clean = history.clean(id);
    if (!clean) return QStringLiteral("That clean is no longer in the history.");
    cleaning::UndoOptions options;
    options.progress = progress;
    const cleaning::UndoReport report = cleaning::undoClean(history, *clean, options);
    const qsizetype back = report.count(cleaning::UndoFate::Restored);
    const QString when = formatDateTime(clean->when.toLocalTime());
    const QString summary = QStringLiteral("Undo of the clean of %1: %2 of %3 files restored")
                                .arg(when, formatGrouped(back), formatGrouped(report.files.size()));
    WriteLogEvent(summary);
    const QString problems = problemLines(report);
    return problems.isEmpty() ? summary : summary + QStringLiteral("\n\n") + problems;
}

void TClarivexMainForm::UndoLastClean()
{
    cleaning::CleanHistory history;
    const QList<cleaning::HistoryClean> cleans = history.cleans();
    if (cleans.isEmpty()) {
        ui::notices().information(this, kCaption, QStringLiteral("No clean to undo."));
        return;
    }
    const cleaning::HistoryClean &last = cleans.first();
    const QString question =
        QStringLiteral("Put back the %1 files of the clean of %2?")
            .arg(formatGrouped(last.files), formatDateTime(last.when.toLocalTime()));
    if (!ui::notices().confirm(this, kCaption, question)) return;
    ui::CleanProgress progress(this, last.files);
    const QString result = undoClean(
        last.id, [&progress](qsizetype done, qsizetype) { return progress.step(done, {}); });
    ui::notices().information(this, kCaption, result);
}

void TClarivexMainForm::ShowCleanHistory()
{
    ui::CleanHistoryDialog dialog(
        this, [this](qint64 clean, const auto &progress) { return undoClean(clean, progress); });
    ui::notices().showDialog(dialog, QStringLiteral("Clean History"));
}

void TClarivexMainForm::notifyClean(const cleaning::CleanRecorder &recorder, qint64 files,
                                    qint64 bytes)
{
    if (files == 0 || !m_cleanNotifier) return; // a clean that took nothing stays silent
    m_cleanNotifier->notify(recorder.cleanId(), cleaning::cleanedSummary(files, bytes));
}

} // namespace clarivex
