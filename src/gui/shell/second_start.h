#pragma once

// A second start of the main program, while another instance holds the
// instance marker: it asks that instance to come forward and ends. When the
// first instance does not answer within a few seconds (hung, or deaf after
// losing its socket), the second start says so: one line on stderr and one
// dialog, and ends with exit code 1 instead of doing nothing.

namespace clarivex {

inline constexpr int kSecondStartWaitMs = 4000;

// The exit code of the second start.
[[nodiscard]] int AnswerSecondStart(int waitMs = kSecondStartWaitMs);

} // namespace clarivex
