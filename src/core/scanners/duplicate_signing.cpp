#include "core/scanners/duplicate_signing.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <system_error>
#include <thread>

namespace clarivex {

namespace {

// Below this many files a second thread costs more than it saves.
constexpr size_t kSplitFrom = 2048;

struct Signing
{
    const DuplicateCollector &collector;
    const std::vector<quint32> &order;
    std::vector<SignedCandidate> &out;
    bool byDateTime;
    std::atomic<bool> stop{false};
    std::atomic<qint64> done{0};
};

// Signs order[from, to). `check`, on the calling thread only, may stop all.
void signRange(Signing &signing, size_t from, size_t to, const std::function<bool()> *check)
{
    const std::vector<Candidate> &keys = signing.collector.CandidateKeys;
    int folderFd = -1;
    quint32 openFolder = 0;
    std::string name;
    for (size_t k = from; k < to; ++k) {
        if (((k - from) & 15) == 15) {
            signing.done.fetch_add(16, std::memory_order_relaxed);
            if (check && !(*check)()) signing.stop = true;
            if (signing.stop.load(std::memory_order_relaxed)) break;
        }
        const quint32 index = signing.order[k];
        const Candidate &candidate = keys[index];
        if (folderFd < 0 || openFolder != candidate.folder) {
            if (folderFd >= 0) ::close(folderFd);
            openFolder = candidate.folder;
            folderFd = ::open(signing.collector.CandidateFolders[candidate.folder].constData(),
                              O_PATH | O_DIRECTORY | O_CLOEXEC);
        }
        if (folderFd < 0) continue; // the folder went away: so did its files
        const QByteArrayView found = signing.collector.nameOf(candidate);
        name.assign(found.data(), size_t(found.size()));
        const CandidateFile file(folderFd, name.c_str(), candidate.size);
        if (!file.isOpen()) continue; // vanished, changed or no longer a file
        SignedCandidate &entry = signing.out[index];
        entry.identity = file.identity();
        entry.signature = FileSignature(candidate.size, file, signing.byDateTime);
        entry.ok = true;
    }
    if (folderFd >= 0) ::close(folderFd);
}

} // namespace

void signCandidates(const DuplicateCollector &collector, std::vector<quint32> order,
                    bool byDateTime, std::vector<SignedCandidate> &out,
                    const std::function<bool(qint64 done)> &keepGoing)
{
    const std::vector<Candidate> &keys = collector.CandidateKeys;
    std::sort(order.begin(), order.end(), [&keys](quint32 a, quint32 b) {
        return keys[a].folder != keys[b].folder ? keys[a].folder < keys[b].folder
                                                : keys[a].nameOffset < keys[b].nameOffset;
    });
    Signing signing{collector, order, out, byDateTime};
    const std::function<bool()> check = [&] {
        return !keepGoing || keepGoing(signing.done.load(std::memory_order_relaxed));
    };

    size_t split = order.size();
    if (order.size() >= kSplitFrom && std::thread::hardware_concurrency() > 1) {
        split = order.size() / 2; // at a folder: each thread keeps its folders open alone
        while (split < order.size() && keys[order[split]].folder == keys[order[split - 1]].folder)
            ++split;
    }
    std::atomic<bool> helperDone{false};
    std::thread helper;
    if (split < order.size()) {
        try {
            helper = std::thread([&] {
                signRange(signing, split, order.size(), nullptr);
                helperDone = true;
            });
        } catch (const std::system_error &) {
            split = order.size(); // no thread to be had: sign alone
        }
    }
    signRange(signing, 0, split, &check);
    if (!helper.joinable()) return;
    // Keep the caller alive (and able to stop) until the helper is through.
    while (!helperDone.load()) {
        if (!signing.stop.load() && !check()) signing.stop = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    helper.join();
}

} // namespace clarivex
