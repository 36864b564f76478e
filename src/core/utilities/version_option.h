#pragma once

// "--version" on a program's command line: the program's name and its file
// version from the compiled-in table, on standard output, and nothing else.

#include "core/utilities/version_info.h"

#include <QByteArray>

#include <optional>

namespace clarivex {

// "clarivex 3.5.0.10".
[[nodiscard]] QByteArray versionLine(const char *program, const VersionInfo &info);

// When an argument after the program's own name is "--version": writes the
// version line to standard output and returns the exit code, 0, or 1 when
// the line could not be written. Nothing otherwise.
[[nodiscard]] std::optional<int> answerVersionOption(int argc, char **argv, const char *program,
                                                     const VersionInfo &info);

} // namespace clarivex
