#pragma once

// "Replace duplicates with links": the duplicates of the chosen rows, each
// replaced by a link to its set's master (duplicate_link.h), compared with
// the master byte for byte right before (duplicate_recheck.h), one file at a
// time. Every replacement is written to the clean history (mode "link"; the
// copy kept is the record's place) before the file is touched, and its
// outcome after, so Undo can give the path a file of its own again.
//
// Which rows: those the clean's rules give (clean_selection.h) for the
// choice, less every master: a master is what the links point to. A
// duplicate whose set has no master on the list is kept.

#include "core/cleaning/clean_selection.h"
#include "core/cleaning/duplicate_link.h"

#include <QList>

#include <functional>

namespace clarivex {

class FoundFileModel;

namespace cleaning {
class CleanRecorder;
}

struct LinkJob
{
    int row = -1; // in the model
    cleaning::LinkRequest request;
};

struct LinkCleanReport
{
    QList<LinkJob> jobs;
    QList<cleaning::LinkResult> results; // per job
    QList<int> kept; // rows the clean's rules keep: last copies, references, sets without a master
    qsizetype replaced = 0;
    qint64 bytesFreed = 0;
    bool stopped = false;
};

class DuplicateLinkClean
{
public:
    cleaning::LinkKind kind = cleaning::LinkKind::Hard;
    bool dryRun = false;
    cleaning::CleanRecorder *recorder = nullptr;
    // Before each file; false stops the clean there.
    std::function<bool(qsizetype done, qsizetype total, const QByteArray &path)> progress;
    cleaning::BeforeRename beforeRename; // tests

    // The jobs for `choice` (see above); `kept` receives the rows left out.
    [[nodiscard]] static QList<LinkJob> jobsFor(const FoundFileModel &model,
                                                const cleaning::CleanChoice &choice,
                                                QList<int> *kept = nullptr);
    [[nodiscard]] LinkCleanReport run(const FoundFileModel &model,
                                      const cleaning::CleanChoice &choice);
    [[nodiscard]] LinkCleanReport run(QList<LinkJob> jobs);
};

} // namespace clarivex
