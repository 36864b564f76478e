// clarivex-cli undo: puts the files of one clean of the history back where
// they were, never over a file; one line per file.

#include "cli/cli_command.h"
#include "cli/history_texts.h"
#include "core/cleaning/clean_history.h"
#include "core/cleaning/clean_undo.h"

namespace clarivex::cli {

namespace {

int runUndo(const QList<QByteArray> &args);

const CliCommand kUndo{
    "undo", "clarivex-cli undo [ID] [--dry-run]", runUndo,
    "Puts every file of clean ID (see `clarivex-cli history`; default: the latest) back\n"
    "at its path: out of the Trash, back from the backup folder, or out of the archive.\n"
    "A path taken since is never overwritten: the file stays where it is. One line per\n"
    "file; --dry-run only says what would be done. Exit status 0 when every file is\n"
    "back, 1 otherwise (a file deleted for good, gone from the Trash or the backup\n"
    "folder, or kept because its path is taken).\n"};
const CliCommandRegistrar kRegistrar(kUndo);

int runUndo(const QList<QByteArray> &args)
{
    bool dryRun = false;
    qint64 id = 0;
    for (const QByteArray &arg : args) {
        bool number = false;
        const qint64 value = arg.toLongLong(&number);
        if (arg == "--dry-run")
            dryRun = true;
        else if (number && value > 0 && id == 0)
            id = value;
        else
            return usageError(kUndo, "unknown argument '" + arg + "'");
    }
    cleaning::CleanHistory history;
    reportHistoryDamage();
    if (!history.isOpen()) return failure(history.error());
    std::optional<cleaning::HistoryClean> clean;
    if (id == 0) {
        const QList<cleaning::HistoryClean> cleans = history.cleans();
        if (cleans.isEmpty()) return failure(QStringLiteral("the clean history is empty"));
        clean = cleans.first();
    } else {
        clean = history.clean(id);
        if (!clean) return failure(QStringLiteral("no clean %1 in the history").arg(id));
    }
    cleaning::UndoOptions options;
    options.dryRun = dryRun;
    const cleaning::UndoReport report = cleaning::undoClean(history, *clean, options);
    QByteArray out;
    for (const cleaning::UndoLine &line : report.files)
        out += undoLine(line, dryRun) + '\n';
    writeOut(out);
    return report.allBack() ? ExitOk : ExitFailed;
}

} // namespace

} // namespace clarivex::cli
