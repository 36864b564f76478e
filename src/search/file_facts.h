#pragma once

// The directory-entry facts of one path, read from the file itself (the link
// itself for a symbolic link), with the program's attribute rules.

#include "search/find_data.h"

#include <optional>

namespace clarivex {

[[nodiscard]] std::optional<TFindData> ReadFindData(const QByteArray &path);

} // namespace clarivex
