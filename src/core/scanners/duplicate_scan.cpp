#include "core/scanners/duplicate_scan.h"

#include "core/search/kv_find_file.h"

namespace clarivex {

QList<std::pair<DuplicateDrive, DuplicateCollector::Phase>>
DuplicateScan::drivePlan(const QList<DuplicateDrive> &drives, bool floppyIsMaster)
{
    QList<std::pair<DuplicateDrive, DuplicateCollector::Phase>> plan;
    const bool anyRemovable =
        std::any_of(drives.cbegin(), drives.cend(), [](const auto &d) { return d.removable; });
    const bool anyOther =
        std::any_of(drives.cbegin(), drives.cend(), [](const auto &d) { return !d.removable; });
    if (!floppyIsMaster || !anyRemovable || !anyOther) {
        for (const DuplicateDrive &drive : drives)
            plan.append({drive, DuplicateCollector::Normal});
        return plan;
    }
    for (const DuplicateDrive &drive : drives) {
        if (drive.removable) plan.append({drive, DuplicateCollector::Master});
    }
    for (const DuplicateDrive &drive : drives) {
        if (!drive.removable) plan.append({drive, DuplicateCollector::Filtered});
    }
    return plan;
}

void DuplicateScan::collect(TKvFindFile &finder, const QList<DuplicateDrive> &drives,
                            const DuplicateScanOptions &options)
{
    ScanContinue = true;
    collector.begin(options);
    configureDuplicateFinder(finder, options);
    collector.folderStatus = [this](const QString &text) {
        if (status) status(1, text);
    };
    finder.OnChDir = [this](const QByteArray &name, bool &) { collector.ChDir(name); };
    finder.OnAddFile = [this](const QByteArray &, const TFindData &data, bool &) {
        collector.AddFile(data);
    };
    for (const auto &[drive, phase] : drivePlan(drives, options.floppyIsMaster)) {
        collector.setPhase(phase);
        if (status) {
            status(0, phase == DuplicateCollector::Master
                          ? QStringLiteral("Scanning master directories ....")
                      : phase == DuplicateCollector::Filtered
                          ? QStringLiteral("Scanning filtered directories ....")
                          : QStringLiteral("Scanning directories ...."));
        }
        (void)finder.Execute(drive.root);
        if (!ScanContinue) break;
    }
    finder.OnChDir = nullptr;
    finder.OnAddFile = nullptr;
    collector.folderStatus = nullptr;
    collector.sortKeys(finder.Pump);
}

void DuplicateScan::run(TKvFindFile &finder, const QList<DuplicateDrive> &drives,
                        const DuplicateScanOptions &options, DuplicateCompare &compare)
{
    collect(finder, drives, options);
    if (compareStarts) compareStarts(qint64(collector.CandidateKeys.size()));
    compare.run(collector, options, &ScanContinue);
}

void DuplicateScan::Stop(TKvFindFile &finder)
{
    finder.Stop();
    ScanContinue = false;
}

} // namespace clarivex
