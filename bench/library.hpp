#pragma once
// The library table of the benchmark: whole libraries of songs converted at
// -j1 and -j2 against the durable floor of the same files.

#include <filesystem>
#include <string>

namespace torvane::bench {

// Prints the table; `self` is the benchmark's own path, run again to measure
// the peak memory of a batch in a process of its own.
void LibraryTable(const char* self, int runs, const std::filesystem::path& dir);

// One batch in this process; prints its peak memory in KiB. For LibraryTable.
int LibraryPeakMode(const std::string& conversion, const std::filesystem::path& library,
                    const std::filesystem::path& out, unsigned jobs);

// Writes the MSD library of `songs` songs and its d2r and ddr conversions
// into `folder`/msd-N, d2r-N, ddr-N, for profiling.
void WriteLibraries(const std::filesystem::path& folder, int songs);

}  // namespace torvane::bench
