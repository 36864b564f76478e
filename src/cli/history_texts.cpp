#include "cli/history_texts.h"

#include "cli/cli_command.h"
#include "core/base/formats.h"

namespace clarivex::cli {

QByteArray historyLine(const cleaning::HistoryClean &clean, qsizetype restorable)
{
    const QDateTime local = clean.when.toLocalTime();
    QByteArray line =
        QByteArray::number(clean.id) + "  " +
        (formatShortDate(local.date()) + QLatin1Char(' ') + formatLongTime(local.time())).toUtf8() +
        "  " + cleaning::modeName(clean.mode).toUtf8() + "  " +
        cleaning::triggerName(clean.trigger).toUtf8() + "  " + QByteArray::number(clean.files) +
        " files  " + QByteArray::number(clean.bytes) + " bytes  " + QByteArray::number(restorable) +
        " restorable";
    if (!clean.finished) line += "  (cut short)";
    return line;
}

QByteArray undoLine(const cleaning::UndoLine &line, bool dryRun)
{
    using cleaning::UndoFate;
    const QByteArray reason =
        line.reason.isEmpty() ? QByteArray() : " (" + line.reason.toUtf8() + ')';
    switch (line.fate) {
    case UndoFate::Restored:
        return (dryRun ? "would restore: " : "restored: ") + line.path;
    case UndoFate::Taken:
        return "taken, kept at " + line.from + ": " + line.path;
    case UndoFate::Gone:
        return "gone: " + line.path + reason;
    case UndoFate::DeletedForGood:
        return "deleted for good: " + line.path;
    case UndoFate::InPlace:
        return "in place: " + line.path + reason;
    case UndoFate::AlreadyUndone:
        return "already restored: " + line.path;
    case UndoFate::Failed:
        break;
    }
    return "failed: " + line.path + reason;
}

void reportHistoryDamage()
{
    const QString notice = cleaning::CleanHistory::takeDamageNotice();
    if (!notice.isEmpty()) (void)failure(notice);
}

} // namespace clarivex::cli
