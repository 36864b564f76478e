#pragma once

// The Scheduler's command line: without an argument it starts and keeps the
// schedule. "--help" prints what it takes; "--status" and "--quit" ask a
// running Scheduler over its socket and end at once, with no display needed.

#include <optional>

namespace clarivex::scheduler {

// The exit code when the command line was one of these options (or a wrong
// one: 2, with the usage on stderr); nothing when the Scheduler is to start.
[[nodiscard]] std::optional<int> answerCommandOptions(int argc, char **argv);

} // namespace clarivex::scheduler
