#include "core/scanners/duplicate_scan.h"

#include "core/scanners/duplicate_walk.h"
#include "core/search/kv_find_file.h"

#include <time.h>

#include <chrono>
#include <future>
#include <memory>

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
    finder.OnChDir = [this, &finder](const QByteArray &name, bool &) {
        collector.ChDir(name, finder.CurrentFolderFd(), finder.CurrentFolderHolds("desktop.ini"));
    };
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
        walkDuplicateDrive(finder, drive.root, options, collector, ScanContinue);
        if (!ScanContinue) break;
    }
    finder.OnChDir = nullptr;
    finder.OnAddFile = nullptr;
    collector.folderStatus = nullptr;
    collector.sortKeys(finder.Pump);
}

namespace {

// Waits for `work` while keeping the caller's window alive; `stopped` is
// called once when a Stop comes meanwhile.
void waitPumping(std::future<void> &work, const std::function<void()> &pump, const bool &keepGoing,
                 const std::function<void()> &stopped = {})
{
    bool told = false;
    while (work.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
        if (pump) pump();
        if (!keepGoing && !told && stopped) {
            stopped();
            told = true;
        }
    }
    work.get();
}

} // namespace

void DuplicateScan::run(TKvFindFile &finder, const QList<DuplicateDrive> &drives,
                        const DuplicateScanOptions &options, DuplicateCompare &compare)
{
    CacheMovedAside.clear();
    // Keyed by name nothing is read, so nothing is cached.
    std::unique_ptr<HashCache> cache;
    std::future<void> loading;
    struct timespec now
    {
    };
    ::clock_gettime(CLOCK_REALTIME, &now);
    const qint64 walkStart = qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    if (options.useHashCache && options.checkFileSize) {
        cache = std::make_unique<HashCache>(hashCachePath.isEmpty() ? HashCache::defaultPath()
                                                                    : hashCachePath);
        loading = std::async(std::launch::async, [&cache] { cache->load(); });
    }
    collect(finder, drives, options);
    if (cache) {
        if (!ScanContinue) cache->cancelLoad();
        waitPumping(loading, finder.Pump, ScanContinue, [&cache] { cache->cancelLoad(); });
        CacheMovedAside = cache->movedAsidePath();
        cache->racyFrom = walkStart - racyWindowNs;
        if (!cache->isOpen()) cache.reset();
    }
    if (compareStarts) compareStarts(qint64(collector.CandidateKeys.size()));
    compare.cache = cache.get();
    compare.run(collector, options, &ScanContinue);
    compare.cache = nullptr;
    if (cache) {
        // Written (unless stopped) and freed on a thread of its own: a map of
        // a few hundred thousand entries takes a while to free as well.
        const bool save = ScanContinue;
        std::future<void> ending = std::async(std::launch::async, [&cache, save] {
            if (save) (void)cache->save();
            cache.reset();
        });
        waitPumping(ending, finder.Pump, ScanContinue);
    }
}

void DuplicateScan::Stop(TKvFindFile &finder)
{
    finder.Stop();
    ScanContinue = false;
}

} // namespace clarivex
