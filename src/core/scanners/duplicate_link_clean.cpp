#include "core/scanners/duplicate_link_clean.h"

#include "core/cleaning/clean_history.h"
#include "core/cleaning/found_rows.h"
#include "core/scanners/duplicate_recheck.h"
#include "core/search/found_file_model.h"

#include <QHash>

namespace clarivex {

using namespace cleaning;

QList<LinkJob> DuplicateLinkClean::jobsFor(const FoundFileModel &model, const CleanChoice &choice,
                                           QList<int> *kept)
{
    const CleanSelection selection = selectRowsToClean(model, choice);
    QHash<qint64, int> masters; // (run, set) -> the master's row
    const auto setKey = [&](int row) {
        return (qint64(model.RunOf(row)) << 32) | model.SetOf(row);
    };
    for (int row = 0; row < model.RowCount(); ++row) {
        if (model.IsMaster(row) && model.SetOf(row) >= 0 && !masters.contains(setKey(row)))
            masters.insert(setKey(row), row);
    }
    QList<LinkJob> jobs;
    QList<int> left = selection.keptLastCopy + selection.keptReferences;
    for (int row : selection.rows) {
        const int master = model.SetOf(row) >= 0 ? masters.value(setKey(row), -1) : -1;
        if (master < 0 || master == row || model.FilePath(master) == model.FilePath(row)) {
            left << row;
            continue;
        }
        LinkJob job;
        job.row = row;
        job.request.master = model.FilePath(master);
        job.request.masterSeen = seenIdentity(model, master);
        job.request.duplicate = model.FilePath(row);
        job.request.duplicateSeen = seenIdentity(model, row);
        jobs << job;
    }
    if (kept) *kept = left;
    return jobs;
}

LinkCleanReport DuplicateLinkClean::run(const FoundFileModel &model, const CleanChoice &choice)
{
    QList<int> kept;
    LinkCleanReport report = run(jobsFor(model, choice, &kept));
    report.kept = kept;
    return report;
}

LinkCleanReport DuplicateLinkClean::run(QList<LinkJob> jobs)
{
    LinkCleanReport report;
    report.jobs = std::move(jobs);
    const qsizetype total = report.jobs.size();
    QList<HistoryFile> records;
    if (recorder && !dryRun) {
        for (const LinkJob &job : std::as_const(report.jobs)) {
            HistoryFile file;
            file.path = job.request.duplicate;
            file.identity = job.request.duplicateSeen;
            records << file;
        }
        recorder->start(HistoryMode::Link);
    }
    for (qsizetype k = 0; k < total; ++k) {
        LinkJob &job = report.jobs[k];
        if (progress && !progress(k, total, job.request.duplicate)) {
            report.stopped = true;
            break;
        }
        job.request.kind = kind;
        job.request.dryRun = dryRun;
        const auto compare = [&job](FileIdentity &compared) {
            const DuplicateLook look =
                lookAtDuplicate(job.request.master, job.request.masterSeen, job.request.duplicate,
                                job.request.duplicateSeen);
            compared = look.compared;
            return look.keepReason;
        };
        if (!records.isEmpty()) recorder->beforeFile(records, k);
        const LinkResult result = replaceWithLink(job.request, compare, beforeRename);
        report.results << result;
        if (result.replaced) {
            ++report.replaced;
            report.bytesFreed += job.request.duplicateSeen.size;
        }
        if (records.isEmpty()) continue;
        HistoryFile outcome = records[k];
        outcome.identity = result.replaced ? result.before : records[k].identity;
        if (result.replaced) {
            outcome.state = RecordState::Done;
            outcome.where = Whereabouts::Linked;
            outcome.place = job.request.master;
            outcome.detail = linkKindName(kind).toLatin1();
            outcome.placeIdentity = result.now;
        } else {
            outcome.state = RecordState::Left;
            outcome.reason = result.reason;
        }
        recorder->after(k, outcome);
    }
    if (recorder && !dryRun) recorder->finish();
    while (report.results.size() < total) {
        LinkResult notDone;
        notDone.reason = QStringLiteral("not done: the clean was stopped");
        report.results << notDone;
    }
    return report;
}

} // namespace clarivex
