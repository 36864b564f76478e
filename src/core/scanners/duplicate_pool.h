#pragma once

// A pool of reading threads for the duplicate comparison, sized to the
// machine (one per hardware thread). The calling thread does no reading of
// its own: it keeps its caller alive (the window's events, Stop) by calling
// `check` every few milliseconds until the pool is through, and a false
// answer stops every worker at its next look at `stop` (between files, and
// between blocks of a large file).

#include <QtGlobal>

#include <atomic>
#include <functional>

namespace clarivex {

struct PoolWork
{
    // Runs item `index`; `stop` turns true when the caller stopped the pool.
    std::function<void(size_t index, const std::atomic<bool> &stop)> item;
    // Items taken at once by a worker (many small ones: a few dozen; files
    // read whole: one).
    size_t batch = 1;
};

// Runs work.item for every index in [0, count). `check` gets the number of
// items finished; false stops the rest. Returns false when stopped.
bool runOnPool(size_t count, const PoolWork &work, const std::function<bool(qint64 done)> &check);

// The number of workers the pool starts.
[[nodiscard]] unsigned poolSize();

} // namespace clarivex
