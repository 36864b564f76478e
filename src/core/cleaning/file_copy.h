#pragma once

// Copies a file's bytes and its mode and times from one open file to another.

#include <QtGlobal>

#include <functional>

#include <sys/stat.h>

namespace clarivex::cleaning {

// Called with the bytes copied so far; false stops the copy (ECANCELED).
using ByteProgress = std::function<bool(qint64 done)>;

// Copies everything from `from` (read from its start) to `to`; 0 or errno.
// A short file system (ENOSPC, EFBIG under a size limit) fails the copy.
[[nodiscard]] int copyContents(int from, int to, const ByteProgress &progress = {});

// Mode (with the set-id bits only when the owner could be kept), owner when
// allowed, then access and modification times; 0 or errno of the mode or times.
[[nodiscard]] int copyAttributes(const struct stat &source, int to);

// Writes the file to disk and checks that it holds `size` bytes; 0 or errno
// (EIO for a size that differs).
[[nodiscard]] int syncAndCheckSize(int fd, qint64 size);

} // namespace clarivex::cleaning
