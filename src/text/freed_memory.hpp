#pragma once
// Long pieces of work one after another (reading a long chart, converting
// it, checking it) free large buffers that glibc keeps for what comes next,
// in places the next cannot always use, so that the peak grows towards the
// sum of the pieces. Each piece hands back what it freed.

#include <cstddef>

namespace torvane {

// Gives what the process has freed back to the system (glibc only).
void HandBackFreedMemory();

// Worth handing back after a piece that held this many bytes or more: below
// it, the call would cost more than it gives.
inline constexpr std::size_t kBytesWorthHandingBack = 1024 * 1024;

}  // namespace torvane
