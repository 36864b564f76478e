#include "core/scanners/duplicate_pool.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace clarivex {

unsigned poolSize()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

namespace {

struct Shared
{
    Shared(const PoolWork &w, size_t n) : work(w), count(n) {}
    const PoolWork &work;
    size_t count;
    std::atomic<size_t> next{0};
    std::atomic<qint64> done{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable finished;
    unsigned running = 0;
};

void workLoop(Shared &shared)
{
    const size_t batch = std::max<size_t>(1, shared.work.batch);
    while (!shared.stop.load(std::memory_order_relaxed)) {
        const size_t from = shared.next.fetch_add(batch, std::memory_order_relaxed);
        if (from >= shared.count) break;
        const size_t to = std::min(shared.count, from + batch);
        for (size_t i = from; i < to && !shared.stop.load(std::memory_order_relaxed); ++i)
            shared.work.item(i, shared.stop);
        shared.done.fetch_add(qint64(to - from), std::memory_order_relaxed);
    }
    const std::lock_guard lock(shared.mutex);
    --shared.running;
    shared.finished.notify_all();
}

} // namespace

bool runOnPool(size_t count, const PoolWork &work, const std::function<bool(qint64 done)> &check)
{
    if (count == 0) return true;
    Shared shared(work, count);
    std::vector<std::thread> threads;
    const unsigned wanted = unsigned(std::min<size_t>(poolSize(), count));
    for (unsigned i = 0; i < wanted; ++i) {
        {
            const std::lock_guard lock(shared.mutex);
            ++shared.running;
        }
        try {
            threads.emplace_back([&shared] { workLoop(shared); });
        } catch (const std::system_error &) {
            const std::lock_guard lock(shared.mutex);
            --shared.running;
            break;
        }
    }
    if (threads.empty()) { // no thread to be had: the caller reads alone
        for (size_t i = 0; i < count; ++i) {
            if ((i & 15) == 0 && check && !check(qint64(i))) return false;
            work.item(i, shared.stop);
        }
        return true;
    }
    std::unique_lock lock(shared.mutex);
    while (shared.running > 0) {
        shared.finished.wait_for(lock, std::chrono::milliseconds(10));
        if (shared.running == 0) break;
        lock.unlock();
        if (check && !shared.stop.load() && !check(shared.done.load())) shared.stop = true;
        lock.lock();
    }
    lock.unlock();
    for (std::thread &thread : threads)
        thread.join();
    return !shared.stop.load();
}

} // namespace clarivex
