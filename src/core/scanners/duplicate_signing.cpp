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

// What opening one candidate needs, copied out of the candidates so that the
// files are walked in folder order through memory read in order too.
struct Job
{
    quint64 nameOffset;
    qint64 size;
    quint32 folder;
    quint32 index; // into the candidates
    quint16 nameLength;
};

struct Signing
{
    const DuplicateCollector &collector;
    const std::vector<Job> &order;
    std::vector<SignedCandidate> &out;
    bool byDateTime;
    std::atomic<bool> stop{false};
    std::atomic<qint64> done{0};
};

// Signs order[from, to). `check`, on the calling thread only, may stop all.
void signRange(Signing &signing, size_t from, size_t to, const std::function<bool()> *check)
{
    const QByteArrayView names = signing.collector.names();
    int folderFd = -1;
    quint32 openFolder = 0;
    std::string name;
    for (size_t k = from; k < to; ++k) {
        if (((k - from) & 15) == 15) {
            signing.done.fetch_add(16, std::memory_order_relaxed);
            if (check && !(*check)()) signing.stop = true;
            if (signing.stop.load(std::memory_order_relaxed)) break;
        }
        const Job &job = signing.order[k];
        if (folderFd < 0 || openFolder != job.folder) {
            if (folderFd >= 0) ::close(folderFd);
            openFolder = job.folder;
            folderFd = ::open(signing.collector.CandidateFolders[job.folder].constData(),
                              O_PATH | O_DIRECTORY | O_CLOEXEC);
        }
        if (folderFd < 0) continue; // the folder went away: so did its files
        name.assign(names.data() + job.nameOffset, job.nameLength);
        const CandidateFile file(folderFd, name.c_str(), job.size);
        if (!file.isOpen()) continue; // vanished, changed or no longer a file
        SignedCandidate &entry = signing.out[job.index];
        entry.identity = file.identity();
        entry.signature = FileSignature(job.size, file, signing.byDateTime);
        entry.ok = true;
    }
    if (folderFd >= 0) ::close(folderFd);
}

} // namespace

void signCandidates(const DuplicateCollector &collector, const std::vector<quint32> &indices,
                    bool byDateTime, std::vector<SignedCandidate> &out,
                    const std::function<bool(qint64 done)> &keepGoing)
{
    const std::vector<Candidate> &keys = collector.CandidateKeys;
    std::vector<Job> order;
    order.reserve(indices.size());
    for (const quint32 index : indices) {
        const Candidate &c = keys[index];
        order.push_back({c.nameOffset, c.size, c.folder, index, c.nameLength});
    }
    // Folders were entered in walk order and the names stored in it.
    std::sort(order.begin(), order.end(), [](const Job &a, const Job &b) {
        return a.folder != b.folder ? a.folder < b.folder : a.nameOffset < b.nameOffset;
    });
    Signing signing{collector, order, out, byDateTime};
    const std::function<bool()> check = [&] {
        return !keepGoing || keepGoing(signing.done.load(std::memory_order_relaxed));
    };

    size_t split = order.size();
    if (order.size() >= kSplitFrom && std::thread::hardware_concurrency() > 1) {
        split = order.size() / 2; // at a folder: each thread keeps its folders open alone
        while (split < order.size() && order[split].folder == order[split - 1].folder)
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
