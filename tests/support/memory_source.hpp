#pragma once
// A line source over bytes in memory, for tests of what reads lines.

#include <memory>
#include <string>
#include <string_view>

#include "text/line_io.hpp"

namespace torvane {

// Reads a copy of `bytes`, as a MemoryStorage source does.
inline std::unique_ptr<LineSource> MakeMemorySource(std::string_view bytes) {
    MemoryStorage storage;
    storage.files["memory"] = std::string(bytes);
    return storage.OpenSource("memory");
}

}  // namespace torvane
