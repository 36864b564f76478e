#include "core/scanners/duplicate_walk.h"

#include "core/scanners/duplicate_pool.h"
#include "core/search/kv_find_file.h"

#include <atomic>
#include <utility>
#include <vector>

namespace clarivex {

namespace {

// What one branch's walk gathered, joined on the calling thread.
struct Branch
{
    QByteArray root;
    DuplicateCollector collector;
    std::vector<std::pair<QByteArray, int>> folderErrors;
    qint64 foldersSeen = 0;
    qint64 filesSeen = 0;
    qint64 unreadable = 0;
};

void walkBranch(const TKvFindFile &finder, const DuplicateScanOptions &options,
                const cleaning::SystemProtection &protection, Branch &branch,
                const std::atomic<bool> &stop)
{
    TKvFindFile walker;
    configureDuplicateFinder(walker, options);
    walker.RecurseDirs = true;
    walker.StayOnFileSystem = finder.StayOnFileSystem;
    walker.KeptAway = finder.KeptAway;
    walker.ShareMountsWith(finder);
    branch.collector.begin(options);
    branch.collector.protection = protection;
    walker.Pump = [&walker, &stop] {
        if (stop.load(std::memory_order_relaxed)) walker.Stop();
    };
    walker.OnChDir = [&branch, &walker](const QByteArray &name, bool &) {
        branch.collector.ChDir(name, walker.CurrentFolderFd(),
                               walker.CurrentFolderHolds("desktop.ini"));
    };
    walker.OnAddFile = [&branch](const QByteArray &, const TFindData &data, bool &) {
        branch.collector.AddFile(data);
    };
    walker.OnFolderError = [&branch](const QByteArray &path, int error) {
        branch.folderErrors.emplace_back(path, error);
    };
    (void)walker.Execute(branch.root);
    branch.foldersSeen = walker.FoldersSeen;
    branch.filesSeen = walker.FilesSeen;
    branch.unreadable = walker.UnreadableFolders;
}

} // namespace

void walkDuplicateDrive(TKvFindFile &finder, const QByteArray &root,
                        const DuplicateScanOptions &options, DuplicateCollector &collector,
                        const bool &keepGoing)
{
    std::vector<Branch> branches;
    const bool split =
        poolSize() > 1 && finder.RecurseDirs && collector.ScanPhase == DuplicateCollector::Normal;
    if (split) {
        finder.DeferBelow = kDeferBelow;
        finder.OnDefer = [&](const QByteArray &folder) {
            if (collector.protection.isProtectedFolder(folder + '/')) return false;
            branches.emplace_back();
            branches.back().root = folder;
            return true;
        };
    }
    (void)finder.Execute(root);
    finder.OnDefer = nullptr;
    finder.DeferBelow = 0;
    if (branches.empty()) return;
    if (keepGoing && !finder.Stopped()) {
        PoolWork work;
        work.batch = 1;
        work.item = [&](size_t i, const std::atomic<bool> &stop) {
            walkBranch(finder, options, collector.protection, branches[i], stop);
        };
        (void)runOnPool(branches.size(), work, [&](qint64) {
            if (finder.Pump) finder.Pump();
            return keepGoing && !finder.Stopped();
        });
    }
    size_t total = collector.CandidateKeys.size();
    for (const Branch &branch : branches)
        total += branch.collector.CandidateKeys.size();
    collector.CandidateKeys.reserve(total);
    const bool stopped = !keepGoing || finder.Stopped(); // nothing collected is compared
    for (Branch &branch : branches) {
        if (!stopped) collector.absorb(branch.collector);
        if (finder.Pump) finder.Pump();
        finder.FoldersSeen += branch.foldersSeen;
        finder.FilesSeen += branch.filesSeen;
        finder.UnreadableFolders += branch.unreadable;
        if (finder.OnFolderError) {
            for (const auto &[path, error] : branch.folderErrors)
                finder.OnFolderError(path, error);
        }
    }
}

} // namespace clarivex
