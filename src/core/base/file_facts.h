#pragma once

// The directory-entry facts of one path, read from the file itself (the link
// itself for a symbolic link), with the program's attribute rules.

#include "core/base/find_data.h"

#include <optional>

#include <sys/stat.h>
#include <sys/types.h>

namespace clarivex {

// The attribute bits of a file: read-only when the owner may not write,
// hidden when the name begins with ".", system when another user owns it,
// archive always.
[[nodiscard]] quint32 fileAttributes(const struct statx &st, const char *name, uid_t user);
// A statx time as nanoseconds since 1970 UTC.
[[nodiscard]] inline qint64 nanoseconds(const struct statx_timestamp &t)
{
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

[[nodiscard]] std::optional<TFindData> ReadFindData(const QByteArray &path);

} // namespace clarivex
