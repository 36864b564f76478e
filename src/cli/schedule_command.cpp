// clarivex-cli schedule next: when the next scheduled scan comes, computed
// from the stored schedule the way the Scheduler computes it.

#include "cli/cli_command.h"
#include "core/base/formats.h"
#include "core/schedule/schedule_clock.h"
#include "core/schedule/stored_schedule.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace clarivex::cli {

namespace {

int runSchedule(const QList<QByteArray> &args);

const CliCommand kSchedule{
    "schedule", "clarivex-cli schedule next [--json]", runSchedule,
    "Prints when the next scheduled scan comes, computed from the stored schedule the\n"
    "way the Scheduler computes it: dd-MM-yyyy hh:mm:ss, or with --json an object with\n"
    "\"date\" (yyyy-MM-dd), \"time\" (hh:mm:ss) and \"iso\" (ISO 8601 date and time).\n"
    "Exit status 1, with the reason on stderr, when no scan is planned.\n"};
const CliCommandRegistrar kRegistrar(kSchedule);

QByteArray jsonLine(const QDateTime &due)
{
    QJsonObject object;
    object.insert(QStringLiteral("date"), due.date().toString(Qt::ISODate));
    object.insert(QStringLiteral("time"), due.time().toString(Qt::ISODate));
    object.insert(QStringLiteral("iso"), due.toString(Qt::ISODate));
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

int runSchedule(const QList<QByteArray> &args)
{
    if (args.isEmpty() || args.first() != "next")
        return usageError(kSchedule, args.isEmpty() ? QByteArray("what? (next)")
                                                    : "unknown argument '" + args.first() + "'");
    bool json = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] != "--json") return usageError(kSchedule, "unknown argument '" + args[i] + "'");
        json = true;
    }
    const QDateTime now = scheduleNow();
    const StoredSchedule stored = readStoredSchedule(now.date());
    if (!stored.problem.isEmpty())
        return failure(QStringLiteral("no scan is planned: ") + stored.problem);
    if (!stored.ScheduleScans)
        return failure(QStringLiteral("no scan is planned: scheduling is off"));
    const NextRun next = computeNextRun(stored.values, now);
    if (!next.valid()) return failure(QStringLiteral("no scan is planned: ") + next.problem);
    writeOut(json ? jsonLine(next.due) : formatDateTime(next.due).toUtf8() + '\n');
    return ExitOk;
}

} // namespace

} // namespace clarivex::cli
