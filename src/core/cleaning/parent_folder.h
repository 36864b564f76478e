#pragma once

// An entry reached through its open parent folder, with the identity check
// that every action makes right before it acts: the entry is read without
// following a link, and when the caller knows what it expects there, anything
// else is refused.

#include "core/cleaning/entry_result.h"
#include "core/cleaning/file_identity.h"
#include "core/cleaning/unique_fd.h"

#include <QByteArray>

#include <optional>

#include <sys/stat.h>

namespace clarivex::cleaning {

struct OpenEntry
{
    UniqueFd folder;
    QByteArray folderPath;
    QByteArray name;
    struct stat st;
};

// Opens the folder of `path` and reads the entry in it. On failure the
// result says why (missing, or not what `expected` describes).
[[nodiscard]] EntryResult openEntry(const QByteArray &path,
                                    const std::optional<FileIdentity> &expected, OpenEntry &entry);

// The folder itself, opened for *at() calls.
[[nodiscard]] UniqueFd openFolder(const QByteArray &path);

} // namespace clarivex::cleaning
