// clarivex-cli history: the cleans of the clean history, newest first, and
// how many of each clean's files could still be put back.

#include "cli/cli_command.h"
#include "cli/history_texts.h"
#include "core/cleaning/clean_history.h"
#include "core/cleaning/clean_undo.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace clarivex::cli {

namespace {

int runHistory(const QList<QByteArray> &args);

const CliCommand kHistory{
    "history", "clarivex-cli history [--json]", runHistory,
    "Lists the cleans of the clean history, newest first: id, time, mode (trash,\n"
    "delete, move, zip, link), what started it (user, automatic, scheduled, cli),\n"
    "the files and bytes it took, and how many of them can still be put back with\n"
    "`clarivex-cli undo ID`. With --json, one object per line.\n"};
const CliCommandRegistrar kRegistrar(kHistory);

int runHistory(const QList<QByteArray> &args)
{
    bool json = false;
    for (const QByteArray &arg : args) {
        if (arg == "--json")
            json = true;
        else
            return usageError(kHistory, "unknown argument '" + arg + "'");
    }
    cleaning::CleanHistory history;
    reportHistoryDamage();
    if (!history.isOpen()) return failure(history.error());
    QByteArray out;
    for (const cleaning::HistoryClean &clean : history.cleans()) {
        const qsizetype restorable = cleaning::restorableCount(history, clean);
        if (json) {
            QJsonObject object{
                {"id", double(clean.id)},
                {"time",
                 clean.when.toOffsetFromUtc(clean.when.offsetFromUtc()).toString(Qt::ISODate)},
                {"mode", cleaning::modeName(clean.mode)},
                {"trigger", cleaning::triggerName(clean.trigger)},
                {"files", double(clean.files)},
                {"bytes", double(clean.bytes)},
                {"restorable", double(restorable)},
                {"finished", clean.finished}};
            out += QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
        } else {
            out += historyLine(clean, restorable) + '\n';
        }
    }
    writeOut(out);
    return ExitOk;
}

} // namespace

} // namespace clarivex::cli
